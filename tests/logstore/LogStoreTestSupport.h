#pragma once
// Helpers shared by the log store's tests: a deployed temporary program
// folder, direct SQL on a database file, and a splash window that records.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "logstore/FbDatabase.h"
#include "logstore/LogDatabase.h"
#include "logstore/SplashProgress.h"
#include "logstore/fb_embedded.h"
#include "support/TempProgramFolder.h"

// A whole file's bytes (empty when it cannot be read).
inline std::string ReadFile(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A temporary program folder with the built database and the engine files.
class TDeployedFolder {
 public:
  TDeployedFolder() {
    if (!DeployEmbeddedDatabase(folder_.Path())) throw std::runtime_error("deployment failed");
  }
  ~TDeployedFolder() { RemoveEmbeddedDatabase(folder_.Path()); }
  const std::string& Path() const { return folder_.Path(); }
  std::string File(const std::string& Name) const { return folder_.File(Name); }
  std::string Database() const { return folder_.Database(); }

 private:
  TTempProgramFolder folder_;
};

// One attachment with its transaction for direct statements in tests.
class TSql {
 public:
  explicit TSql(const std::string& Database) {
    att_.Open(Database, LogDatabaseConnectParams());
    tra_.Start(att_);
  }
  ~TSql() {
    try {
      tra_.Commit();
    } catch (...) {
    }
  }
  // Runs a statement; Bind sets its parameters.
  uint64_t Exec(const std::string& Sql, const std::function<void(fb::TStatement&)>& Bind = nullptr) {
    fb::TStatement st;
    st.Prepare(att_, tra_, Sql);
    if (Bind) Bind(st);
    const uint64_t n = st.Execute();
    tra_.CommitRetaining();
    return n;
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
