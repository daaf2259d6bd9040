#include "ui/progress.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QShowEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/DialogStyle.h"

TProgressForm::TProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("ProgressForm"));
  setWindowTitle(QStringLiteral("Processing"));
  // Topmost, but showing it neither moves, sizes nor activates anything.
  setAttribute(Qt::WA_ShowWithoutActivating);
  resize(320, 76);

  InfoLabel = new QLabel(this);
  InfoLabel->setObjectName(QStringLiteral("InfoLabel"));
  InfoLabel->setAlignment(Qt::AlignCenter);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setTextVisible(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 10, 12, 12);
  layout->addWidget(InfoLabel);
  layout->addWidget(ProgressBar);

  InfoLabel->clear();
  Controls.clear();
}

int TProgressForm::RegisterControl(QWidget* control) {
  for (size_t i = 0; i < Controls.size(); ++i)
    if (Controls[i] == control) return static_cast<int>(i) + 1;
  Controls.emplace_back(control);
  return static_cast<int>(Controls.size());
}

void TProgressForm::EnableControls(bool on) {
  for (const QPointer<QWidget>& control : Controls)
    if (control) control->setEnabled(on);
}

void TProgressForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CenterWindow(this);
  // Only the owner's show and hide count: a window hidden along with its
  // minimised owner is still busy.
  if (!event->spontaneous()) EnableControls(false);
}

void TProgressForm::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) EnableControls(true);
}

void TProgressForm::closeEvent(QCloseEvent* event) { event->ignore(); }

void TProgressForm::keyPressEvent(QKeyEvent* event) {
  // Escape would reject (and so hide) the dialog behind its owner's back.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TProgressForm::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  const QRect r = rect();
  // Two white one-pixel rectangles at the edge, two blue ones inside them.
  const QColor colors[4] = {Qt::white, Qt::white, QColor(0, 0, 255), QColor(0, 0, 255)};
  for (int i = 0; i < 4; ++i) {
    painter.setPen(QPen(colors[i], 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(i, i, -i - 1, -i - 1));
  }
}
