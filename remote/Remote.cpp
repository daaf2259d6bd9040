#include "remote/Remote.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <sstream>

#include "controls/DBCtrlsEx.h"
#include "platform/Format.h"
#include "platform/HandOff.h"
#include "remote/RemoteAudio.h"

namespace {

constexpr const char* kCaption = "Remote Control";
constexpr const char* kCompany = "Quorvane Broadcast Ltd.";

QString Q(const std::string& s) { return QString::fromStdString(s); }

TDBNumberEditEx* NumberEdit(QWidget* Parent, double Min, double Max, double Value) {
  auto* e = new TDBNumberEditEx(Parent);
  e->SetDecimalPlaces(0);
  e->SetMinValue(Min);
  e->SetMaxValue(Max);
  e->SetValue(Value);
  return e;
}

}  // namespace

TRemoteForm::TRemoteForm(QWidget* Parent, IRemoteHost& Host, const std::string& ProgramFolder, TRemoteLimits Limits)
    : QDialog(Parent),
      host_(Host),
      commands_(Host),
      handOff_([this](std::function<void()> Fn) { QMetaObject::invokeMethod(this, HandedOff(std::move(Fn)), Qt::QueuedConnection); }) {
  setWindowTitle(Q(std::string(kCaption) + " - " + kCompany));
  BuildControls();
  TResourceHeader header{};
  resources_.LoadFromFile(ProgramFolder + "fw.rrf", header);
  resources_.Add(std::make_unique<TmyItemFile>(), -1).SetName(kPlaylistName);
  const TRemoteCapture capture = host_.CaptureDevices();
  audio_ = std::make_unique<TRemoteAudio>(host_.Invoker(), capture.Backend);
  const std::string address = host_.LocalAddress();
  sessions_ = std::make_unique<TRemoteSessionManager>(resources_, [address] { return address; }, audio_.get(), Limits,
                                                      host_.Clock());
  sessions_->SetPorts(host_.ServerPorts());
  sessions_->SetCommandHandler([this](const TConnectionRef& c, const std::string& m) { OnCommand(c, m); });
  edPort->SetValue(sessions_->AudioPort());
  edAlias->setText("Fenwisk");
  edRemoteAddr->setText(Q(Format("http://%s:%d/", sessions_->LocalIP().c_str(), sessions_->Ports().Http)));
  lbRemoteConn->setText("Remote Connection: none");
  lbTimeout->clear();

  FillLists();
  for (const TRemoteCaptureDevice& d : capture.Devices) cbDevices->addItem(Q(d.Name), d.Id);
  deviceFound_ = !capture.Devices.empty();
  if (!deviceFound_) {
    cbDevices->addItem("Input Audio Device Not Found");
    cbDevices->setEnabled(false);
  } else {
    audio_->SelectDevice(capture.Devices.front().Id);
  }
  btnStart->setEnabled(outputFound_ && inputFound_ && deviceFound_);
  connect(cbDevices, &QComboBox::activated, this, [this](int i) {
    if (deviceFound_) audio_->SelectDevice(static_cast<uint8_t>(cbDevices->itemData(i).toInt()));
  });
  connect(cbCodecs, &QComboBox::activated, this, [this](int i) { audio_->SelectOutput(i); });
  connect(cbCodecsIn, &QComboBox::activated, this, [this](int i) { audio_->SelectInput(i); });
  host_.SetScanHandler([this](const uint8_t* p, int high) { commands_.ScanData(p, high); });
  CommandsTimer->start();
}

TRemoteForm::~TRemoteForm() {
  if (running_) Stop();
  host_.SetScanHandler(nullptr);
  sessions_.reset();
}

void TRemoteForm::BuildControls() {
  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  cbDevices = new QComboBox(this);
  cbCodecs = new QComboBox(this);
  cbCodecsIn = new QComboBox(this);
  edPort = NumberEdit(this, 0, 65535, TRemotePorts{}.Audio);
  edPassword = new QLineEdit(this);
  edAlias = new QLineEdit(this);
  edRemoteAddr = new QLineEdit(this);
  edRemoteAddr->setReadOnly(true);
  edTimeout = NumberEdit(this, 0, 20, 0);
  btnStart = new QPushButton("Start", this);
  lbRemoteConn = new QLabel(this);
  lbTimeout = new QLabel(this);
  lbFailedLogIns = new QLabel(this);
  const std::pair<const char*, QWidget*> rows[] = {
      {"Device:", cbDevices}, {"Output:", cbCodecs},        {"Input:", cbCodecsIn},
      {"Audio Port:", edPort}, {"Password:", edPassword},   {"Device Alias:", edAlias},
      {"Remote Address:", edRemoteAddr}, {"Session Time", edTimeout}};
  int row = 0;
  for (const auto& [caption, w] : rows) {
    grid->addWidget(new QLabel(caption, this), row, 0);
    grid->addWidget(w, row++, 1);
  }
  grid->addWidget(new QLabel("min", this), row - 1, 2);
  grid->addWidget(lbRemoteConn, row, 0, 1, 2);
  grid->addWidget(btnStart, row++, 2);
  grid->addWidget(lbTimeout, row++, 0, 1, 3);
  grid->addWidget(lbFailedLogIns, row, 0, 1, 3);
  cbCodecs->setMinimumWidth(280);
  CommandsTimer = new QTimer(this);
  CommandsTimer->setInterval(kCommandsIntervalMs);
  connect(CommandsTimer, &QTimer::timeout, this, [this] { CommandsTimerTimer(); });
  connect(btnStart, &QPushButton::clicked, this, [this] { btnStartClick(); });
  edPort->OnChange = [this](QObject*) { edPortChange(); };
  edTimeout->OnChange = [this](QObject*) { edPortChange(); };
}

void TRemoteForm::FillLists() {
  const struct {
    QComboBox* Box;
    const std::vector<std::string>& Names;
    const char* Missing;
    bool& Found;
    void (TRemoteAudio::*Select)(int);
  } lists[] = {
      {cbCodecs, audio_->OutputFormats(), "MPEG Layer 3 Compatible Codec Not Found", outputFound_,
       &TRemoteAudio::SelectOutput},
      {cbCodecsIn, audio_->InputFormats(), "PCM Compatible Codec Not Found", inputFound_, &TRemoteAudio::SelectInput},
  };
  for (const auto& l : lists) {
    for (const std::string& n : l.Names) l.Box->addItem(Q(n));
    l.Found = !l.Names.empty();
    if (!l.Found) {
      l.Box->addItem(l.Missing);
      l.Box->setEnabled(false);
    } else {
      l.Box->setCurrentIndex(0);
      (audio_.get()->*l.Select)(0);
    }
  }
}

int TRemoteForm::PortValue() const {
  return static_cast<int>(edPort->Value().value_or(host_.ServerPorts().Audio));
}

void TRemoteForm::edPortChange() {
  // Those ports belong to the HTTP server and the command socket.
  const int port = PortValue();
  const TRemotePorts& ports = sessions_->Ports();
  if (port == ports.Http || port == ports.Command) edPort->SetValue(host_.ServerPorts().Audio);
}

void TRemoteForm::btnStartClick() {
  if (running_) Stop();
  else Start();
}

void TRemoteForm::SetEditing(bool Enabled) {
  for (QComboBox* b : {cbDevices, cbCodecs, cbCodecsIn}) b->setEnabled(Enabled);
  for (QWidget* w : std::initializer_list<QWidget*>{edPort, edPassword, edAlias, edTimeout}) w->setEnabled(Enabled);
}

void TRemoteForm::Start() {
  if (!(outputFound_ && inputFound_ && deviceFound_)) return;
  SetEditing(false);
  btnStart->setText("Stop");
  if (edPassword->text().isEmpty()) edPassword->setText(TRemoteSessionManager::kDefaultPassword);
  const std::string alias = edAlias->text().toStdString();
  sessions_->SetPassword(edPassword->text().toStdString());
  sessions_->SetAudioPort(PortValue());
  handOff_.Resume();
  try {
    // The ports are bound first: the pages and the commands tell clients
    // the ports really listened on before anyone is served.
    sessions_->Listen();
    const TRemotePorts& ports = sessions_->Ports();
    edPort->SetValue(ports.Audio);
    edRemoteAddr->setText(Q(Format("http://%s:%d/", sessions_->LocalIP().c_str(), ports.Http)));
    std::istringstream playlist(Format("#EXTM3U%s#EXTINF:0,Fenwisk Remote Server%shttp://%s:%d", "\r\n", "\r\n",
                                       sessions_->LocalIP().c_str(), ports.Audio));
    resources_.FindItem(kPlaylistName)->LoadFromStream(playlist);
    resources_.SetVariable("%ALIAS%", alias);
    commands_.Alias = alias;
    commands_.LocalIP = sessions_->LocalIP();
    commands_.HttpPort = ports.Http;
    sessions_->Start();
    audio_->Start();
  } catch (const std::exception& e) {
    // Whatever started goes down again; the dialog stays stopped.
    handOff_.Cancel();
    sessions_->Stop();
    audio_->Stop();
    SetEditing(true);
    btnStart->setText("Start");
    LastError = e.what();
    host_.ShowError(LastError);
    return;
  }
  host_.ClearRemoteVars();
  host_.SetRemoteActive(true);
  running_ = true;
  CommandsTimer->start();
}

void TRemoteForm::Stop() {
  host_.SetRemoteActive(false);
  host_.ClearRemoteVars();
  audio_->Stop();
  btnStart->setText("Stopping...");
  CommandsTimer->stop();
  // Workers waiting for this thread give up, so they can be joined.
  handOff_.Cancel();
  sessions_->Stop();
  // A remote scan must not leave the receiver held once nobody can end it.
  if (commands_.Scanning()) commands_.Execute("SCANSTOP=1");
  lbRemoteConn->setText("Remote Connection: none");
  lbTimeout->clear();
  SetEditing(true);
  btnStart->setText("Start");
  running_ = false;
}

void TRemoteForm::closeEvent(QCloseEvent* Event) {
  if (running_) Stop();
  QDialog::closeEvent(Event);
}

void TRemoteForm::done(int Result) {
  if (running_) Stop();
  QDialog::done(Result);
}

void TRemoteForm::CommandsTimerTimer() {
  const TRemoteClient c = sessions_->ActiveClient();
  const bool command = !c.IP.empty() && c.Connection;
  if (command && c.Ready) {
    const std::string changes = host_.TakeRemoteChanges();
    // A failed send (the client stopped reading and its queue is full) ends
    // the connection, which logs the ready client out.
    if (!changes.empty() && !c.Connection->SendMessage(changes)) c.Connection->Disconnect();
  }
  const int limit = static_cast<int>(edTimeout->Value().value_or(0));
  const TSessionView v = SessionView(command, c.IP, c.ConnectTime, limit, commands_.Scanning(), host_.Clock().Now());
  if (v.Expired) sessions_->EndCommandConnection(c.Connection);
  lbRemoteConn->setText(Q(v.Connection));
  lbTimeout->setText(Q(v.TimeLeft));
  const TFailedLogIns failed = sessions_->FailedLogIns();
  std::string text = failed.Count ? Format("Failed log-ins: %zu", failed.Count) : "";
  for (const auto& [time, ip] : failed.Last) text += "\n" + dt::ToIsoText(time).substr(0, 19) + " from " + ip;
  lbFailedLogIns->setText(Q(text));
}

void TRemoteForm::OnCommand(const TConnectionRef& Conn, const std::string& Message) {
  const auto peer = sessions_->PeerState(Conn->PeerIP());
  if (peer == TRemoteSessionManager::TPeer::Unknown) return;
  if (Message == kPolicyRequest) {
    Conn->SendMessage(SocketPolicy(), false);
    return;
  }
  if (peer != TRemoteSessionManager::TPeer::LoggedIn) {
    Conn->Disconnect();
    return;
  }
  TCommandResult r;
  if (!handOff_.Run([&] { r = commands_.Execute(Message); })) {
    Conn->Disconnect();
    return;
  }
  if (r.Ready) sessions_->SetReady(Conn, *r.Ready);
  if (!r.Reply.empty() && !Conn->SendMessage(r.Reply)) Conn->Disconnect();
}
