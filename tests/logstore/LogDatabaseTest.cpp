// The writers and the start-up purge on the real embedded database.
#include <QApplication>
#include <QElapsedTimer>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"
#include "support/FakeClock.h"
#include "support/QtApp.h"

TEST(LogDatabase, RowsAreStoredAsWrittenAndReadBackForTheViewer) {
  TDeployedFolder folder;
  TFakeClock clock(dt::Now());
  TDModule dm(folder.Path(), clock);
  TSettingsRecord s = AllLogsOn(false);
  dm.BindSettings(&s);
  const TDateTime before = dt::Now();

  std::string bytes;  // every byte value survives the character set
  for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
  dm.LogChange(10, 7, bytes);  // longer than the column: cut, not an error
  dm.LogChange(8, 115, "");
  dm.LogChange(37, 0, "DEVICE CONNECTED");
  dm.LogRaw({0xD3C2, 0x2420, 0xE0CD, 0x4142, 0x1111}, 115);
  TExtRecord e;
  e.PI = 0x54A6;
  e.MS = 65535;
  e.RTA = bytes.substr(0, 64);
  e.PS = "TOO LONG PS NAME";
  e.MODE = "MB";
  e.RDS = "Yes";
  e.AF = "A" + std::string(400, 'x');
  dm.LogExt(e);

  std::vector<TChangeLogRow> ch;
  dm.ReadChangeLog(TChangeLogView::AsWritten, [&](const TChangeLogRow& r) { ch.push_back(r); });
  ASSERT_EQ(ch.size(), 3u);
  for (size_t i = 0; i < ch.size(); ++i) {
    EXPECT_EQ(ch[i].ID, static_cast<int>(i + 1));  // from the generator
    EXPECT_TRUE(ch[i].DT >= before - 1.0 / 1440 && ch[i].DT <= dt::Now() + 1.0 / 1440);  // set at the insert
  }
  EXPECT_EQ(ch[0].STR, bytes.substr(0, 64));
  EXPECT_EQ(ch[1].STR, std::string(64, ' '));  // fixed-length column

  std::vector<TRawLogRow> raw;
  dm.ReadRawLog([&](const TRawLogRow& r) { raw.push_back(r); });
  ASSERT_EQ(raw.size(), 1u);
  EXPECT_TRUE(raw[0].BLOCK[4] == 0x1111 && raw[0].BLOCK[5] == 0 && raw[0].FREQ == 255);  // the MPX input

  std::vector<TExtLogRow> ext;
  dm.ReadExtLog([&](const TExtLogRow& r) { ext.push_back(r); });
  ASSERT_EQ(ext.size(), 1u);
  EXPECT_EQ(ext[0].PS + "|" + ext[0].RDS + "|" + ext[0].MODE, "TOO LONG|Y|MB ");
  EXPECT_EQ(ext[0].RTA, e.RTA);
  EXPECT_TRUE(ext[0].AF.size() == 255 && ext[0].MS == 65535 && ext[0].PI == 0x54A6);
}

TEST(LogDatabase, LastRowIsCommittedByTheTimerWhenNothingFollows) {
  EnsureQApplication();
  TDeployedFolder folder;
  TDModule dm(folder.Path());  // the real clock, on the Qt thread
  TSettingsRecord s = AllLogsOn();
  dm.BindSettings(&s);
  dm.LogChange(37, 0, "DEVICE CONNECTED");
  dm.WaitWritten();  // written, but not yet committed
  EXPECT_EQ(InspectLogDatabase(folder.Database()).Changes, 0);
  // Only the event loop runs now; no further write comes.
  QElapsedTimer waited;
  waited.start();
  while (InspectLogDatabase(folder.Database()).Changes == 0 && waited.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(InspectLogDatabase(folder.Database()).Changes, 1);
}

TEST(LogDatabase, StartupPurgeRemovesRowsOlderThanTheKeepTime) {
  TDeployedFolder folder;
  const TDateTime now = dt::Now();
  // Rows of each log aged 1 minute, 12 hours, 36 hours and 10 days.
  const double ages[] = {1.0 / 1440, 0.5, 1.5, 10};
  // Each log filled afresh, under the settings row given (none: nullptr).
  auto keptAfterStart = [&](const char* logLive) {
    {
      TSql sql(folder.Database());
      sql.Exec("delete from CONFIG");
      if (logLive) sql.Exec(std::string("insert into CONFIG (LOGLIVE, OPT1) values (") + logLive + ", 0)");
      for (std::string log : {"CH", "RAW", "EXT"}) {
        sql.Exec("delete from LOG_" + log);
        for (double age : ages)
          sql.Exec("insert into LOG_" + log + " (ID, DT) values (next value for GEN_LOG_" + log + "_ID, ?)",
                   [&](fb::TStatement& st) { st.SetTimestamp(0, now - age); });
      }
    }
    TFakeClock clock(now);
    TDModule dm(folder.Path(), clock);
    const TLogRowCounts n = dm.CountRows();
    EXPECT_TRUE(n.Changes == n.Raw && n.Ext == n.Raw);
    return n.Raw;
  };

  // No settings row yet (first start), or one without a keep time or with
  // one below a day (an older version or a hand edit): one day, never
  // "delete everything".
  const std::pair<const char*, int64_t> cases[] = {{nullptr, 2}, {"NULL", 2}, {"0", 2}, {"-3", 2}, {"2", 3}, {"30", 4}};
  for (const auto& [logLive, kept] : cases) EXPECT_EQ(keptAfterStart(logLive), kept) << (logLive ? logLive : "no row");
}
