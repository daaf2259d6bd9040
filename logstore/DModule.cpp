#include "logstore/DModule.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {

std::string DatabaseIn(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + kLogDatabaseFile;
}

}  // namespace

TDModule::TDModule(const std::string& ProgramFolder, IClock& Clock)
    : TDModule(MakeFbLogDatabase(), MakeFbBackupService(), DatabaseIn(ProgramFolder), Clock) {}

TDModule::TDModule(std::unique_ptr<ILogDatabase> Db, std::unique_ptr<IBackupService> Backup,
                   const std::string& DatabaseName, IClock& Clock)
    : db_(std::move(Db)), backup_(std::move(Backup)), name_(DatabaseName), clock_(Clock) {
  Start();
}

TDModule::~TDModule() {
  if (closed_) return;
  try {
    Close();
  } catch (...) {
    // A destructor reports through the fault handler only.
  }
}

void TDModule::Start() {
  db_->Open(name_);
  Purge();
  StartTimer();
}

void TDModule::Purge() {
  // The keep time as the settings read it, so an unset, zero or negative
  // one never deletes every log; without a row the default applies.
  TConfigRow row;
  const int keep = DecodeConfig(db_->ReadConfig(row) ? row : DefaultConfigRow()).KeepDays;
  db_->Purge(clock_.Now() - keep);
  db_->Commit();
}

void TDModule::StartTimer() {
  // Rows are committed within about a second even when no further row
  // follows; the timer runs only where a Qt event loop will drive it.
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() != app->thread()) return;
  timer_ = std::make_unique<QTimer>();
  timer_->setInterval(kCommitTimerMs);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { CommitIfDue(); });
  timer_->start();
}

// ---------------------------------------------------------------- settings

void TDModule::LoadConfig(TSettingsRecord& Settings) {
  TConfigRow row;
  if (!db_->ReadConfig(row)) {
    row = DefaultConfigRow();
    db_->InsertConfig(row);
    db_->Commit();
    Committed();
  }
  Settings = DecodeConfig(row);
}

void TDModule::SaveConfig(const TSettingsRecord& Settings) {
  const TConfigRow row = EncodeConfig(Settings);
  TConfigRow existing;
  if (!db_->ReadConfig(existing)) {
    db_->InsertConfig(row);
  } else {
    db_->UpdateConfig(row);
  }
  // The commit also makes the log rows posted since the last one durable.
  db_->Commit();
  Committed();
}

// ---------------------------------------------------------------- writers

void TDModule::LogChange(int Kind, int Value, const std::string& Text) {
  if (replay_) return;
  static const TSettingsRecord kAllOff{};
  const TSettingsRecord& s = settings_ ? *settings_ : kAllOff;
  const bool on = s.ChangeLogOn != 0;
  bool write = false;
  int sig = Kind;
  switch (Kind) {
    case 0: write = on && s.LogPI; break;
    case 1: write = on && s.LogTP; break;
    case 2: write = on && s.LogPTY; break;
    case 3: write = on && s.LogTA; break;
    case 4: write = on && s.LogMS; break;
    case 5: write = on && s.LogDI; break;
    case 6: write = on && s.LogPS; break;
    case 7: write = on && s.LogCT; break;
    case 8: write = on && s.LogFreqChange; break;
    case 9: write = on && s.LogAF; break;
    case 10:
    case 11: write = on && s.LogRT; break;
    case kModeChange: write = true; break;
    case kSystemEvent:
      write = true;
      sig = kSystemSig;
      break;
    default: break;
  }
  if (!write) return;
  Write(TLogKind::Change, [&] { db_->InsertChange(sig, Value, Text); });
}

void TDModule::LogRaw(const uint16_t (&Blocks)[5], int ChannelIndex) {
  if (replay_ || !settings_ || !settings_->RawLogOn) return;
  TRawRecord rec;
  for (int k = 0; k < 5; ++k) rec.Words[k] = Blocks[k];
  rec.Words[5] = 0;
  rec.Freq = settings_->InputAntenna ? ChannelIndex : kMpxFreq;
  rawBuffer_.push_back(rec);
  FlushRaw();
}

void TDModule::FlushRaw() {
  for (const TRawRecord& rec : rawBuffer_) Write(TLogKind::Raw, [&] { db_->InsertRaw(rec); });
  rawBuffer_.clear();
}

void TDModule::LogExt(const TExtRecord& Rec) {
  if (replay_) return;
  Write(TLogKind::Ext, [&] { db_->InsertExt(Rec); });
}

template <typename F>
void TDModule::Write(TLogKind Kind, F&& Post) {
  if (closed_) return;
  if (suspended_ && clock_.SteadyMs() < retryAtMs_) {
    ++dropped_;
    return;
  }
  try {
    Post();
  } catch (const std::exception& e) {
    ++dropped_;
    Fault(e.what());
    return;
  }
  Posted(Kind);
}

void TDModule::Posted(TLogKind Kind) {
  if (!pending_) {
    pending_ = true;
    oldestPendingMs_ = clock_.SteadyMs();
  }
  if (onAppend_) onAppend_(Kind);
  // A suspended log resumes only once a commit went through again.
  if (suspended_)
    Commit();
  else
    CommitIfDue();
}

void TDModule::CommitIfDue() {
  if (!pending_) return;
  const int64_t now = clock_.SteadyMs();
  if (suspended_ && now < retryAtMs_) return;
  if (now - oldestPendingMs_ >= kCommitAgeMs) Commit();
}

void TDModule::Commit() {
  if (!pending_ || closed_) return;
  try {
    db_->Commit();
  } catch (const std::exception& e) {
    Fault(e.what());
    return;
  }
  Committed();
}

void TDModule::Committed() {
  pending_ = false;
  ++commits_;
  suspended_ = false;
}

void TDModule::Fault(const std::string& What) {
  retryAtMs_ = clock_.SteadyMs() + kRetryMs;
  if (suspended_) return;
  suspended_ = true;
  if (onFault_) onFault_("Writing the log database failed; logging is suspended and retried: " + What);
}

// ---------------------------------------------------------------- shut-down

bool TDModule::Close() {
  if (closed_) return closeOk_;
  timer_.reset();
  FlushRaw();
  closed_ = true;
  TLogRowCounts counts;
  try {
    counts = db_->CountRows();
    db_->Close();
  } catch (const std::exception& e) {
    closeError_ = std::string("Closing the log database failed: ") + e.what();
    if (onFault_) onFault_(closeError_);
    return false;
  }
  TExitBackup cycle(*backup_, clock_, splash_);
  const TExitBackupResult r = cycle.Run(name_, counts);
  closeOk_ = r.Ok;
  if (!r.Ok) {
    closeError_ = r.Error;
    if (onFault_) onFault_(closeError_);
  }
  return closeOk_;
}
