#pragma once
// The remote control dialog: starts and stops the remote access server (the
// HTTP pages, the command socket and the audio stream), picks the capture
// device and the two audio formats, and answers the command socket's
// messages on the user-interface thread.
#include <QDialog>
#include <memory>
#include <string>

#include "remote/FileResourcer.h"
#include "remote/RemoteHandOff.h"
#include "remote/RemoteHost.h"
#include "remote/RemoteProtocol.h"
#include "remote/RemoteSessionManager.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TDBNumberEditEx;
class TRemoteAudio;

class TRemoteForm : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kPlaylistName = "Fenwisk.m3u";
  static constexpr int kCommandsIntervalMs = 500;

  // ProgramFolder holds "fw.rrf" (with a trailing '/').
  TRemoteForm(QWidget* Parent, IRemoteHost& Host, const std::string& ProgramFolder, TRemoteLimits Limits = {});
  ~TRemoteForm() override;

  // Start while stopped, Stop while running. A Start that fails says why
  // in a message box and leaves the dialog stopped.
  void btnStartClick();
  bool Running() const { return running_; }
  void CommandsTimerTimer();
  void edPortChange();
  // The command socket's worker body for one message.
  void OnCommand(const TConnectionRef& Conn, const std::string& Message);
  // However the dialog ends (closed, Escape, ended by the main window), its
  // servers stop with it.
  void done(int Result) override;

  QComboBox *cbDevices, *cbCodecs, *cbCodecsIn;
  TDBNumberEditEx *edPort, *edTimeout;
  QLineEdit *edPassword, *edAlias, *edRemoteAddr;
  QPushButton* btnStart;
  QLabel *lbRemoteConn, *lbTimeout;
  // Refused log-ins: how many, and when and from where the last came.
  QLabel* lbFailedLogIns;
  QTimer* CommandsTimer;

  TmyItemCollection& Resources() { return resources_; }
  TRemoteSessionManager& Sessions() { return *sessions_; }
  TRemoteCommands& Commands() { return commands_; }
  // What the last failed Start said (tests).
  std::string LastError;

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildControls();
  void FillLists();
  void Start();
  void Stop();
  void SetEditing(bool Enabled);
  int PortValue() const;

  IRemoteHost& host_;
  TmyItemCollection resources_;
  std::unique_ptr<TRemoteAudio> audio_;
  std::unique_ptr<TRemoteSessionManager> sessions_;
  TRemoteCommands commands_;
  TRemoteHandOff handOff_;
  bool running_ = false;
  bool outputFound_ = false, inputFound_ = false, deviceFound_ = false;
};
