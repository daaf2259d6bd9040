#pragma once
// Helpers shared by the log store's tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "logstore/ExitBackup.h"
#include "logstore/FbDatabase.h"
#include "logstore/LogDatabase.h"
#include "logstore/SettingsRecord.h"
#include "logstore/SplashProgress.h"
#include "logstore/fb_embedded.h"
#include "support/TempProgramFolder.h"

// A whole file's bytes (empty when it cannot be read).
inline std::string ReadFile(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The default settings with every log switched on.
inline TSettingsRecord AllLogsOn(bool Antenna = true) {
  TSettingsRecord s = DecodeConfig(DefaultConfigRow());
  s.ChangeLogOn = s.RawLogOn = s.ExtLogOn = 1;
  s.InputAntenna = Antenna;
  return s;
}

// A temporary program folder with the built database and the engine files.
struct TDeployedFolder : TTempProgramFolder {
  TDeployedFolder() {
    if (!DeployEmbeddedDatabase(Path())) throw std::runtime_error("deployment failed");
  }
  ~TDeployedFolder() { RemoveEmbeddedDatabase(Path()); }
};

// One attachment with its transaction for direct statements in tests.
class TSql {
 public:
  explicit TSql(const std::string& Database) {
    att_.Open(Database, LogDatabaseConnectParams());
    tra_.Start(att_);
  }
  ~TSql() { tra_.Commit(); }
  // Runs and commits a statement; Bind sets its parameters.
  void Exec(const std::string& Sql, const std::function<void(fb::TStatement&)>& Bind = nullptr) {
    fb::TStatement st;
    st.Prepare(att_, tra_, Sql);
    if (Bind) Bind(st);
    st.Execute();
    tra_.CommitRetaining();
  }
  // Every row of a query, each column as text (integers in decimal).
  std::vector<std::vector<std::string>> Rows(const std::string& Sql) {
    fb::TStatement st;
    st.Prepare(att_, tra_, Sql);
    st.Open();
    std::vector<std::vector<std::string>> rows;
    while (st.Fetch()) {
      rows.emplace_back();
      for (unsigned c = 0; c < st.ColumnCount(); ++c) {
        try {
          rows.back().push_back(st.IsNull(c) ? "<null>" : std::to_string(st.GetInt(c)));
        } catch (const fb::EDatabaseError&) {
          rows.back().push_back(st.GetText(c));
        }
      }
    }
    return rows;
  }
  int64_t Int(const std::string& Sql) { return std::stoll(Rows(Sql).at(0).at(0)); }

 private:
  fb::TAttachment att_;
  fb::TTransaction tra_;
};

// The splash texts shown, each with the time it was to stay.
struct TRecordingSplash final : ISplashProgress {
  std::vector<std::pair<std::string, unsigned>> Steps;
  void ShowStatus(const std::string& Text, unsigned Ms) override { Steps.emplace_back(Text, Ms); }
};

// The real backup service, spoiling one step as told.
class TSpoiledService final : public IBackupService {
 public:
  enum TSpoil { None, BackupFailsHalfWay, BackupCutInHalf, BackupOfGarbage,
                RestoreFailsHalfWay, RestoreToJunk, RestoreLosesARow };
  explicit TSpoiledService(TSpoil Spoil = None) : spoil_(Spoil) {}
  std::string DatabaseAfterBackup;  // the database file's bytes once backed up

  void Backup(const std::string& Database, const std::string& File, const std::function<void()>& OnWait) override {
    real_->Backup(Database, File, OnWait);
    DatabaseAfterBackup = ReadFile(Database);
    if (spoil_ == BackupFailsHalfWay || spoil_ == BackupCutInHalf)
      std::filesystem::resize_file(File, std::filesystem::file_size(File) / 2);
    if (spoil_ == BackupOfGarbage) std::ofstream(File, std::ios::trunc) << "not a backup";
    if (spoil_ == BackupFailsHalfWay) throw fb::EDatabaseError("disk full");
  }
  void Restore(const std::string& File, const std::string& Database, const std::function<void()>& OnWait) override {
    if (spoil_ != RestoreFailsHalfWay && spoil_ != RestoreToJunk) return real_->Restore(File, Database, OnWait);
    std::ofstream(Database) << "half a database";
    if (spoil_ == RestoreFailsHalfWay) throw fb::EDatabaseError("disk full");
  }
  TLogRowCounts Inspect(const std::string& Database) override {
    TLogRowCounts n = real_->Inspect(Database);
    n.Raw -= spoil_ == RestoreLosesARow;
    return n;
  }

 private:
  TSpoil spoil_;
  std::unique_ptr<IBackupService> real_ = MakeFbBackupService();
};

// Runs one DISABLED_ test of this program in a fresh process (the engine's
// threads do not survive a fork), in a new session with no terminal and
// nothing to read, so the engine can never wait for someone to type; with
// the given environment and a pipe it may write to (FW_CHILD_PIPE).
class TChildTest {
 public:
  TChildTest(const std::string& TestName, const std::vector<std::string>& Env);
  ~TChildTest();  // a child still running is killed
  // Reads what the child wrote to the pipe; false at its end or after TimeoutMs.
  bool Read(std::string& Out, int TimeoutMs);
  void Kill(int Signal);
  // Waits for the child; its wait status.
  int Wait();

 private:
  int pid_ = -1;
  int pipe_ = -1;
};
