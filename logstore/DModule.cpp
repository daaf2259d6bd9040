#include "logstore/DModule.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <ibase.h>

#include "logstore/FbDatabase.h"

namespace {

std::string DatabaseIn(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + kLogDatabaseFile;
}

// Errors that say the database file itself is damaged.
bool IsDamagedDatabase(intptr_t Code) {
  return Code == isc_bad_db_format || Code == isc_db_corrupt || Code == isc_badpagtyp || Code == isc_wrong_ods ||
         Code == isc_badodsver || Code == isc_bug_check;
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
  try {
    db_->Open(name_);
    TExitBackup::RemoveLeftovers(name_);
    Purge();
  } catch (const fb::EDatabaseError& e) {
    if (!IsDamagedDatabase(e.Code())) throw;
    throw fb::EDatabaseError(e.what() + TExitBackup::RestoreAdvice(name_), e.Code());
  }
  writer_ = std::make_unique<TLogWriter>(*db_);
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
  writer_->Exclusive([&](ILogDatabase& db) {
    if (db.ReadConfig(row)) return;
    row = DefaultConfigRow();
    db.InsertConfig(row);
    db.Commit();
    writer_->Committed();
  });
  Settings = DecodeConfig(row);
}

void TDModule::SaveConfig(const TSettingsRecord& Settings) {
  const TConfigRow row = EncodeConfig(Settings);
  writer_->Exclusive([&](ILogDatabase& db) {
    TConfigRow existing;
    if (!db.ReadConfig(existing)) {
      db.InsertConfig(row);
    } else {
      db.UpdateConfig(row);
    }
    // The commit also makes the log rows written since the last one durable.
    db.Commit();
    writer_->Committed();
  });
}

// ---------------------------------------------------------------- reading

TLogRowCounts TDModule::CountRows() {
  TLogRowCounts n;
  writer_->Exclusive([&](ILogDatabase& db) { n = db.CountRows(); });
  return n;
}

void TDModule::ReadChangeLog(TChangeLogView View, const std::function<void(const TChangeLogRow&)>& Row) {
  writer_->Exclusive([&](ILogDatabase& db) { db.ReadChangeLog(View, Row); });
}

void TDModule::ReadRawLog(const std::function<void(const TRawLogRow&)>& Row) {
  writer_->Exclusive([&](ILogDatabase& db) { db.ReadRawLog(Row); });
}

void TDModule::ReadExtLog(const std::function<void(const TExtLogRow&)>& Row) {
  writer_->Exclusive([&](ILogDatabase& db) { db.ReadExtLog(Row); });
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
  Write(TLogKind::Change, [sig, Value, Text](ILogDatabase& db) { db.InsertChange(sig, Value, Text); });
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
  for (const TRawRecord& rec : rawBuffer_) Write(TLogKind::Raw, [rec](ILogDatabase& db) { db.InsertRaw(rec); });
  rawBuffer_.clear();
}

void TDModule::LogExt(const TExtRecord& Rec) {
  if (replay_) return;
  Write(TLogKind::Ext, [Rec](ILogDatabase& db) { db.InsertExt(Rec); });
}

void TDModule::Write(TLogKind Kind, TLogWriter::TInsert Insert) {
  if (closed_) return;
  writer_->Post(clock_.SteadyMs(), std::move(Insert));
  if (onAppend_) onAppend_(Kind);
  TellFault();
}

void TDModule::CommitIfDue() {
  writer_->Tick(clock_.SteadyMs());
  TellFault();
}

void TDModule::WaitWritten() {
  writer_->Exclusive([](ILogDatabase&) {});
  TellFault();
}

void TDModule::Commit() {
  if (closed_) return;
  FlushRaw();
  writer_->Exclusive([this](ILogDatabase& db) {
    try {
      db.Commit();
    } catch (const std::exception& e) {
      // Told like the writer's own failing commit, which then retries.
      writer_->CommitFailed(clock_.SteadyMs(), e.what());
      return;
    }
    writer_->Committed();
  });
  TellFault();
}

void TDModule::TellFault() {
  const std::string fault = writer_->TakeFault();
  if (!fault.empty() && onFault_) onFault_(fault);
}

// ---------------------------------------------------------------- shut-down

bool TDModule::Close() {
  if (closed_) return closeOk_;
  timer_.reset();
  FlushRaw();
  closed_ = true;
  // Every row handed over is written before the database is closed and
  // backed up; a fault met on the way is still told.
  writer_->Stop();
  TellFault();
  TLogRowCounts counts;
  TExitBackup cycle(*backup_, clock_, splash_);
  try {
    // Counting a big log takes a while: the backup's progress starts here.
    cycle.WithProgress(TExitBackup::kBackupCaption, [&] {
      counts = db_->CountRows();
      db_->Close();
    });
  } catch (const std::exception& e) {
    closeError_ = std::string("Closing the log database failed: ") + e.what();
    if (onFault_) onFault_(closeError_);
    return false;
  }
  const TExitBackupResult r = cycle.Run(name_, counts);
  closeOk_ = r.Ok;
  if (!r.Ok) {
    closeError_ = r.Error;
    if (onFault_) onFault_(closeError_);
  }
  return closeOk_;
}
