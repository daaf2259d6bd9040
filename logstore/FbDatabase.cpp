#include "logstore/FbDatabase.h"

#include <firebird/Interface.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "logstore/FbShutdown.h"

using namespace Firebird;

#if defined(__SANITIZE_ADDRESS__)
#define FW_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FW_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef FW_ADDRESS_SANITIZER
// In the address-sanitized build every program that reaches the database
// starts with this setting. The sanitizer notes where each thread's block of
// a run-time loaded library's thread-local data lies, for its leak check at
// exit to scan; the engine and its plugins are such libraries. A block that
// starts 16 bytes into a memory page it takes for one with a size header in
// front (as an old C library laid them out) and reads the sanitizer heap's
// own chunk header there as start and size: a range of some 170 GB at a
// small address, whose scan faults ("Tracer caught signal 11"). A thread's
// first small blocks tend to start a fresh page, so most engine threads get
// such a note, and the check crashes whenever one of those threads (the main
// thread among them) is still there at exit. Without the notes the check
// loses nothing: the blocks are ordinary heap blocks that the thread's own
// table of them points to, scanned like any other.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
#endif

namespace fb {

IMaster* Master() {
  static IMaster* master = fb_get_master_interface();
  return master;
}

// ---------------------------------------------------------------- TStatus

TStatus::TStatus()
    : status_(Master()->getStatus()), wrapper_(std::make_unique<CheckStatusWrapper>(status_)) {}

TStatus::~TStatus() {
  wrapper_.reset();
  status_->dispose();
}

CheckStatusWrapper* TStatus::operator()() {
  wrapper_->init();
  return wrapper_.get();
}

bool TStatus::Failed() const { return (status_->getState() & IStatus::STATE_ERRORS) != 0; }

std::string TStatus::Text() const {
  char buf[1024];
  Master()->getUtilInterface()->formatStatus(buf, sizeof(buf), status_);
  return buf;
}

void TStatus::Check(const char* what) const {
  if (!Failed()) return;
  const intptr_t* errors = status_->getErrors();
  const intptr_t code = (errors && errors[0] == isc_arg_gds) ? errors[1] : 0;
  std::string text = Text();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  throw EDatabaseError(std::string(what) + ": " + text, code);
}

// ---------------------------------------------------------------- TAttachment

TAttachment::~TAttachment() {
  if (!att_) return;
  TStatus st;
  att_->detach(st());
  if (st.Failed()) att_->release();
  att_ = nullptr;
}

namespace {

// A parameter block under construction (database or service attachment);
// every call is checked, and the builder is disposed of on every path.
class TParamBlock {
 public:
  explicit TParamBlock(unsigned kind, const char* what) : what_(what) {
    b_ = Master()->getUtilInterface()->getXpbBuilder(st_(), kind, nullptr, 0);
    st_.Check(what_);
  }
  ~TParamBlock() { b_->dispose(); }
  TParamBlock(const TParamBlock&) = delete;
  TParamBlock& operator=(const TParamBlock&) = delete;

  void Add(unsigned char tag, const std::string& value) {
    b_->insertString(st_(), tag, value.c_str());
    st_.Check(what_);
  }
  // The user name and, when there is one, the password.
  void Add(unsigned char tag, int value) {
    b_->insertInt(st_(), tag, value);
    st_.Check(what_);
  }
  void AddLogin(const TConnectParams& params, unsigned char userTag, unsigned char passwordTag) {
    Add(userTag, params.User);
    if (!params.Password.empty()) Add(passwordTag, params.Password);
  }
  unsigned Length() {
    const unsigned n = b_->getBufferLength(st_());
    st_.Check(what_);
    return n;
  }
  const unsigned char* Buffer() {
    const unsigned char* p = b_->getBuffer(st_());
    st_.Check(what_);
    return p;
  }

 private:
  const char* what_;
  TStatus st_;
  IXpbBuilder* b_ = nullptr;
};

}  // namespace

void TAttachment::Open(const std::string& path, const TConnectParams& params) {
  if (att_) throw EDatabaseError("attach: already attached");
  TParamBlock dpb(IXpbBuilder::DPB, "attach");
  dpb.AddLogin(params, isc_dpb_user_name, isc_dpb_password);
  if (!params.Charset.empty()) dpb.Add(isc_dpb_lc_ctype, params.Charset);
  if (params.ForcedWrites >= 0) dpb.Add(isc_dpb_force_write, params.ForcedWrites ? 1 : 0);
  const unsigned length = dpb.Length();
  const unsigned char* buffer = dpb.Buffer();
  TStatus st;
  IProvider* prov = Master()->getDispatcher();
  IAttachment* att = prov->attachDatabase(st(), path.c_str(), length, buffer);
  prov->release();
  st.Check(("attach " + path).c_str());
  att_ = att;
}

void TAttachment::Close() {
  if (!att_) return;
  TStatus st;
  att_->detach(st());
  if (st.Failed()) {
    att_->release();
    att_ = nullptr;
    st.Check("detach");
  }
  att_ = nullptr;
}

// ---------------------------------------------------------------- TTransaction

TTransaction::~TTransaction() {
  if (!tra_) return;
  TStatus st;
  tra_->rollback(st());
  if (st.Failed()) tra_->release();
  tra_ = nullptr;
}

void TTransaction::Start(TAttachment& att) {
  if (tra_) throw EDatabaseError("start transaction: already active");
  if (!att.Active()) throw EDatabaseError("start transaction: not attached");
  static const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                      isc_tpb_rec_version, isc_tpb_nowait};
  TStatus st;
  ITransaction* tra = att.Handle()->startTransaction(st(), sizeof(tpb), tpb);
  st.Check("start transaction");
  tra_ = tra;
}

void TTransaction::CommitRetaining() {
  if (!tra_) throw EDatabaseError("commit: no transaction");
  TStatus st;
  tra_->commitRetaining(st());
  st.Check("commit");
}

void TTransaction::Commit() {
  if (!tra_) return;
  TStatus st;
  tra_->commit(st());
  st.Check("commit");
  tra_ = nullptr;
}

// ---------------------------------------------------------------- TStatement

TStatement::~TStatement() { Free(); }

void TStatement::Free() {
  if (cursor_) {
    cursor_->close(status_());
    if (status_.Failed()) cursor_->release();
    cursor_ = nullptr;
  }
  if (inMeta_) inMeta_->release();
  if (outMeta_) outMeta_->release();
  inMeta_ = outMeta_ = nullptr;
  if (stmt_) {
    stmt_->free(status_());
    if (status_.Failed()) stmt_->release();
    stmt_ = nullptr;
  }
  inFields_.clear();
  outFields_.clear();
  inBuf_.clear();
  outBuf_.clear();
  tra_ = nullptr;
}

std::vector<TStatement::TField> TStatement::Describe(IMessageMetadata* meta) {
  TStatus st;
  std::vector<TField> fields;
  const unsigned n = meta->getCount(st());
  st.Check("describe");
  fields.resize(n);
  for (unsigned i = 0; i < n; ++i) {
    TField& f = fields[i];
    // Each call clears the status of the one before: check every one.
    auto get = [&](auto value) {
      st.Check("describe");
      return value;
    };
    f.Type = get(meta->getType(st(), i)) & ~1u;
    f.Length = get(meta->getLength(st(), i));
    f.Scale = get(meta->getScale(st(), i));
    f.Offset = get(meta->getOffset(st(), i));
    f.NullOffset = get(meta->getNullOffset(st(), i));
  }
  return fields;
}

void TStatement::Prepare(TAttachment& att, TTransaction& tra, const std::string& sql) {
  Free();
  if (!att.Active() || !tra.Active()) throw EDatabaseError("prepare: no transaction");
  try {
    stmt_ = att.Handle()->prepare(status_(), tra.Handle(), 0, sql.c_str(), 3,
                                  IStatement::PREPARE_PREFETCH_METADATA);
    status_.Check(("prepare \"" + sql + "\"").c_str());
    tra_ = &tra;
    inMeta_ = stmt_->getInputMetadata(status_());
    status_.Check("prepare");
    outMeta_ = stmt_->getOutputMetadata(status_());
    status_.Check("prepare");
    inFields_ = Describe(inMeta_);
    outFields_ = Describe(outMeta_);
    const unsigned inLen = inMeta_->getMessageLength(status_());
    status_.Check("prepare");
    const unsigned outLen = outMeta_->getMessageLength(status_());
    status_.Check("prepare");
    inBuf_.assign(inLen / 8 + 1, 0);
    outBuf_.assign(outLen / 8 + 1, 0);
  } catch (...) {
    // Never left half prepared: a statement without its buffers would hand
    // the engine a null message.
    Free();
    throw;
  }
  // Every parameter starts out NULL.
  auto* in = reinterpret_cast<unsigned char*>(inBuf_.data());
  for (const TField& f : inFields_) *reinterpret_cast<short*>(in + f.NullOffset) = -1;
}

const TStatement::TField& TStatement::In(unsigned i) const {
  if (i >= inFields_.size()) throw EDatabaseError("parameter " + std::to_string(i) + " out of range");
  return inFields_[i];
}

const TStatement::TField& TStatement::Out(unsigned i) const {
  if (i >= outFields_.size()) throw EDatabaseError("column " + std::to_string(i) + " out of range");
  return outFields_[i];
}

void TStatement::SetInt(unsigned i, int64_t value) {
  const TField& f = In(i);
  auto* p = reinterpret_cast<unsigned char*>(inBuf_.data()) + f.Offset;
  if (f.Scale != 0) throw EDatabaseError("parameter " + std::to_string(i) + " is not an integer");
  auto range = [&](int64_t lo, int64_t hi) {
    if (value < lo || value > hi)
      throw EDatabaseError("value " + std::to_string(value) + " out of range for parameter " +
                           std::to_string(i));
  };
  switch (f.Type) {
    case SQL_SHORT: {
      range(std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
      const int16_t v = static_cast<int16_t>(value);
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case SQL_LONG: {
      range(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
      const int32_t v = static_cast<int32_t>(value);
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case SQL_INT64:
      std::memcpy(p, &value, sizeof value);
      break;
    default:
      throw EDatabaseError("parameter " + std::to_string(i) + " is not an integer");
  }
  *reinterpret_cast<short*>(reinterpret_cast<unsigned char*>(inBuf_.data()) + f.NullOffset) = 0;
}

void TStatement::SetText(unsigned i, const std::string& value) {
  const TField& f = In(i);
  auto* base = reinterpret_cast<unsigned char*>(inBuf_.data());
  auto* p = base + f.Offset;
  const size_t n = std::min<size_t>(value.size(), f.Length);
  switch (f.Type) {
    case SQL_TEXT:
      // A fixed-length field: cut to its length, pad with blanks.
      std::memcpy(p, value.data(), n);
      std::memset(p + n, ' ', f.Length - n);
      break;
    case SQL_VARYING: {
      const uint16_t len = static_cast<uint16_t>(n);
      std::memcpy(p, &len, sizeof len);
      std::memcpy(p + sizeof len, value.data(), n);
      break;
    }
    default:
      throw EDatabaseError("parameter " + std::to_string(i) + " is not a text");
  }
  *reinterpret_cast<short*>(base + f.NullOffset) = 0;
}

void TStatement::SetTimestamp(unsigned i, TDateTime value) {
  const TField& f = In(i);
  if (f.Type != SQL_TIMESTAMP) throw EDatabaseError("parameter " + std::to_string(i) + " is not a timestamp");
  auto* base = reinterpret_cast<unsigned char*>(inBuf_.data());
  const double day = std::floor(value);
  int64_t ticks = std::llround((value - day) * 864000000.0);  // 1/10000 s
  int32_t date = static_cast<int32_t>(day) + kTimestampDayShift;
  if (ticks >= 864000000) {
    ticks -= 864000000;
    ++date;
  }
  ISC_TIMESTAMP ts;
  ts.timestamp_date = date;
  ts.timestamp_time = static_cast<ISC_TIME>(ticks);
  std::memcpy(base + f.Offset, &ts, sizeof ts);
  *reinterpret_cast<short*>(base + f.NullOffset) = 0;
}

uint64_t TStatement::Execute() {
  if (!stmt_) throw EDatabaseError("execute: not prepared");
  stmt_->execute(status_(), tra_->Handle(), inMeta_, inBuf_.data(), outMeta_, outBuf_.data());
  status_.Check("execute");
  const uint64_t n = stmt_->getAffectedRecords(status_());
  status_.Check("execute");
  return n;
}

void TStatement::Open() {
  if (!stmt_) throw EDatabaseError("open: not prepared");
  CloseCursor();
  cursor_ = stmt_->openCursor(status_(), tra_->Handle(), inMeta_, inBuf_.data(), outMeta_, 0);
  status_.Check("open cursor");
}

bool TStatement::Fetch() {
  if (!cursor_) return false;
  const int rc = cursor_->fetchNext(status_(), outBuf_.data());
  status_.Check("fetch");
  if (rc == IStatus::RESULT_OK) return true;
  CloseCursor();
  return false;
}

void TStatement::CloseCursor() {
  if (!cursor_) return;
  cursor_->close(status_());
  if (status_.Failed()) {
    cursor_->release();
    cursor_ = nullptr;
    status_.Check("close cursor");
  }
  cursor_ = nullptr;
}

bool TStatement::IsNull(unsigned i) const {
  const TField& f = Out(i);
  const auto* base = reinterpret_cast<const unsigned char*>(outBuf_.data());
  return *reinterpret_cast<const short*>(base + f.NullOffset) != 0;
}

int64_t TStatement::GetInt(unsigned i) const {
  const TField& f = Out(i);
  if (IsNull(i)) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(outBuf_.data()) + f.Offset;
  switch (f.Type) {
    case SQL_SHORT: {
      int16_t v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    case SQL_LONG: {
      int32_t v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    case SQL_INT64: {
      int64_t v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    default:
      throw EDatabaseError("column " + std::to_string(i) + " is not an integer");
  }
}

std::string TStatement::GetText(unsigned i) const {
  const TField& f = Out(i);
  if (IsNull(i)) return {};
  const auto* p = reinterpret_cast<const char*>(outBuf_.data()) + f.Offset;
  switch (f.Type) {
    case SQL_TEXT:
      return std::string(p, f.Length);
    case SQL_VARYING: {
      uint16_t len;
      std::memcpy(&len, p, sizeof len);
      return std::string(p + sizeof len, std::min<unsigned>(len, f.Length));
    }
    default:
      throw EDatabaseError("column " + std::to_string(i) + " is not a text");
  }
}

TDateTime TStatement::GetTimestamp(unsigned i) const {
  const TField& f = Out(i);
  if (IsNull(i)) return 0;
  if (f.Type != SQL_TIMESTAMP) throw EDatabaseError("column " + std::to_string(i) + " is not a timestamp");
  ISC_TIMESTAMP ts;
  std::memcpy(&ts, reinterpret_cast<const unsigned char*>(outBuf_.data()) + f.Offset, sizeof ts);
  return static_cast<double>(ts.timestamp_date - kTimestampDayShift) + ts.timestamp_time / 864000000.0;
}

// ---------------------------------------------------------------- TServiceManager

TServiceManager::~TServiceManager() {
  if (!svc_) return;
  TStatus st;
  svc_->detach(st());
  if (st.Failed()) svc_->release();
  svc_ = nullptr;
}

void TServiceManager::Attach(const TConnectParams& params) {
  if (svc_) return;
  TParamBlock spb(IXpbBuilder::SPB_ATTACH, "attach service manager");
  spb.AddLogin(params, isc_spb_user_name, isc_spb_password);
  const unsigned length = spb.Length();
  const unsigned char* buffer = spb.Buffer();
  TStatus st;
  IProvider* prov = Master()->getDispatcher();
  IService* svc = prov->attachServiceManager(st(), "service_mgr", length, buffer);
  prov->release();
  st.Check("attach service manager");
  svc_ = svc;
}

void ShutdownClient(unsigned TimeoutMs) {
  TStatus st;
  IProvider* prov = Master()->getDispatcher();
  prov->shutdown(st(), TimeoutMs, fb_shutrsn_app_stopped);
  prov->release();
}

void TServiceManager::Detach() {
  if (!svc_) return;
  TStatus st;
  svc_->detach(st());
  if (st.Failed()) svc_->release();
  svc_ = nullptr;
  st.Check("detach service manager");
}

namespace {

class TSpb {
 public:
  explicit TSpb(unsigned char action) { bytes_.push_back(action); }
  void String(unsigned char tag, const std::string& s) {
    bytes_.push_back(tag);
    const uint16_t len = static_cast<uint16_t>(s.size());
    bytes_.push_back(static_cast<uint8_t>(len & 0xFF));
    bytes_.push_back(static_cast<uint8_t>(len >> 8));
    bytes_.insert(bytes_.end(), s.begin(), s.end());
  }
  void Int(unsigned char tag, uint32_t v) {
    bytes_.push_back(tag);
    for (int k = 0; k < 4; ++k) bytes_.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

void TServiceManager::Backup(const std::string& database, const std::string& backupFile,
                             const std::function<void()>& onWait) {
  TSpb spb(isc_action_svc_backup);
  spb.String(isc_spb_dbname, database);
  spb.String(isc_spb_bkp_file, backupFile);
  spb.Int(isc_spb_options, isc_spb_bkp_ignore_limbo);
  RunToEnd(spb.Bytes(), onWait);
}

void TServiceManager::Restore(const std::string& backupFile, const std::string& database,
                              const std::function<void()>& onWait) {
  TSpb spb(isc_action_svc_restore);
  spb.String(isc_spb_bkp_file, backupFile);
  spb.String(isc_spb_dbname, database);
  spb.Int(isc_spb_options, isc_spb_res_replace | isc_spb_res_use_all_space);
  RunToEnd(spb.Bytes(), onWait);
}

void TServiceManager::RunToEnd(const std::vector<uint8_t>& spb, const std::function<void()>& onWait) {
  if (!svc_) throw EDatabaseError("service: not attached");
  TStatus st;
  svc_->start(st(), static_cast<unsigned>(spb.size()), spb.data());
  st.Check("start service");
  // The service runs on the engine's own thread. We ask whether it still
  // runs (an answer that comes at once), really wait between the questions,
  // and once it has stopped read its output to the end: an error the
  // service met comes back as the query's own error.
  const unsigned char running[] = {isc_info_svc_running};
  const unsigned char lines[] = {isc_info_svc_line};
  unsigned char result[1024];
  for (;;) {
    svc_->query(st(), 0, nullptr, sizeof(running), running, sizeof(result), result);
    st.Check("service");
    if (result[0] != isc_info_svc_running) throw EDatabaseError("service: unexpected answer");
    const int32_t stillRunning = isc_portable_integer(result + 1, 4);
    if (!stillRunning) break;
    if (onWait) onWait();
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  for (int guard = 0; guard < 100000; ++guard) {
    svc_->query(st(), 0, nullptr, sizeof(lines), lines, sizeof(result), result);
    st.Check("service");
    if (result[0] != isc_info_svc_line) throw EDatabaseError("service: unexpected answer");
    const unsigned len = result[1] | (result[2] << 8);
    if (len == 0 && result[3] != isc_info_svc_timeout && result[3] != isc_info_data_not_ready) return;
  }
  throw EDatabaseError("service: output does not end");
}

}  // namespace fb
