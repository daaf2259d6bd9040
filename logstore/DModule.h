#pragma once
// The data module: owns the connection to the log database, keeps the
// settings row, writes the change, raw and extended logs, purges old rows at
// start-up and backs the database up at exit.
//
// The UI thread decides which rows are written and in which order, as it
// logs them; a writer thread of the log store inserts them in that order and
// commits them (with the transaction's context kept) within about a second,
// so a crash loses at most the last second of log and a commit never stalls
// the UI thread (TLogWriter). A failing write is reported once; logging is
// then suspended and retried every few seconds while the program goes on.
// Shutting down writes every row handed over before the database is closed
// and backed up.
//
// Every call comes from the UI thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logstore/ExitBackup.h"
#include "logstore/LogDatabase.h"
#include "logstore/LogWriter.h"
#include "logstore/SettingsRecord.h"
#include "logstore/SplashProgress.h"
#include "platform/Clock.h"
#include "platform/Method.h"
#include "receiver/RDS_Collector.h"

class QTimer;

// The tables a row was appended to (for the viewer's refresh).
enum class TLogKind { Change, Raw, Ext };

class TDModule {
 public:
  // Change kinds with rules of their own.
  static constexpr int kModeChange = 12;
  static constexpr int kSystemEvent = 37;
  static constexpr int kSystemSig = 200;
  // Frequency value of raw rows taken from the MPX input.
  static constexpr int kMpxFreq = 255;
  // Rows older than this are committed by the next write or timer tick.
  static constexpr int64_t kCommitAgeMs = TLogWriter::kCommitAgeMs;
  static constexpr int kCommitTimerMs = 250;
  // A suspended log tries again after this long.
  static constexpr int64_t kRetryMs = TLogWriter::kRetryMs;

  // Connects to <ProgramFolder>RDSLOG.FDB and purges old rows; throws the
  // database layer's exception when it cannot.
  explicit TDModule(const std::string& ProgramFolder, IClock& Clock = SystemClock());
  // The same over a given database and backup service.
  TDModule(std::unique_ptr<ILogDatabase> Db, std::unique_ptr<IBackupService> Backup,
           const std::string& DatabaseName, IClock& Clock);
  // Closes (with the exit backup) when Close was not called.
  ~TDModule();
  TDModule(const TDModule&) = delete;
  TDModule& operator=(const TDModule&) = delete;

  const std::string& DatabaseName() const { return name_; }

  // ---- Settings row
  // Reads the row; an empty table first gets the default row.
  void LoadConfig(TSettingsRecord& Settings);
  // Rewrites the whole row and commits.
  void SaveConfig(const TSettingsRecord& Settings);

  // ---- Log writers
  // The switches the writers follow (the main window's settings record).
  void BindSettings(const TSettingsRecord* Settings) { settings_ = Settings; }
  // While replaying a log nothing is written.
  void SetReplayMode(bool On) { replay_ = On; }
  bool ReplayMode() const { return replay_; }

  void LogChange(int Kind, int Value, const std::string& Text);
  void LogRaw(const uint16_t (&Blocks)[5], int ChannelIndex);
  void FlushRaw();
  void LogExt(const TExtRecord& Rec);

  // The timer's tick: commits, without waiting for it, when the oldest
  // uncommitted row is at least kCommitAgeMs old.
  void CommitIfDue();
  // Waits until every row handed over is written (committed or not).
  void WaitWritten();
  // Writes and commits every row handed over now, so another attachment
  // (the log viewer, the replay) reads them all. A failing commit suspends
  // logging and is told like the writer's own; the reader then sees what
  // was committed.
  void Commit();
  uint64_t CommitCount() const { return writer_->Commits(); }
  // Rows written and committed since the start: these survive a crash.
  uint64_t DurableRows() const { return writer_->DurableRows(); }

  bool LogSuspended() const { return writer_->Suspended(); }
  uint64_t DroppedRows() const { return writer_->Dropped(); }
  // Told once when logging is suspended (at the next write, tick or wait on
  // the UI thread), and when the exit backup fails (also from Close in the
  // destructor: the handler's object must outlive the data module).
  void SetFaultHandler(TMethod<const std::string&> Handler) { onFault_ = std::move(Handler); }
  // Told after a row was handed to a log.
  void SetAppendHandler(TMethod<TLogKind> Handler) { onAppend_ = std::move(Handler); }

  // ---- Reading, for the viewer (every row handed over is seen)
  TLogRowCounts CountRows();
  void ReadChangeLog(TChangeLogView View, const std::function<void(const TChangeLogRow&)>& Row);
  void ReadRawLog(const std::function<void(const TRawLogRow&)>& Row);
  void ReadExtLog(const std::function<void(const TExtLogRow&)>& Row);

  // ---- Shut-down
  // Where the exit backup shows its progress.
  void SetSplash(ISplashProgress* Splash) { splash_ = Splash; }
  // Flushes, commits, disconnects, then backs up and restores the database.
  // False when any of it failed (reported through the fault handler; the
  // database file is then left as it was). Later calls return the first result.
  bool Close();
  const std::string& CloseError() const { return closeError_; }

 private:
  void Start();
  void Purge();
  void Write(TLogKind Kind, TLogWriter::TInsert Insert);
  void TellFault();
  void StartTimer();

  std::unique_ptr<ILogDatabase> db_;
  std::unique_ptr<IBackupService> backup_;
  std::string name_;
  IClock& clock_;
  const TSettingsRecord* settings_ = nullptr;
  bool replay_ = false;
  std::vector<TRawRecord> rawBuffer_;
  std::unique_ptr<TLogWriter> writer_;  // after db_: ends before it
  TMethod<const std::string&> onFault_;
  TMethod<TLogKind> onAppend_;

  ISplashProgress* splash_ = nullptr;
  bool closed_ = false;
  bool closeOk_ = false;
  std::string closeError_;
  std::unique_ptr<QTimer> timer_;
};

using TDM = TDModule;
