#include "recman/postgres_session.h"

#include <unistd.h>

#include <cstring>

#include "recman/record_file_server.h"
#include "recman/record_manager.h"

namespace {

// Notices (an index that already exists, say) are the server's small talk: never printed on
// the operator's screen.
void ignoreNotice(void*, const char*) {}

bool failed(const PGresult* result) {
  ExecStatusType status = PQresultStatus(result);
  return status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK;
}

}  // namespace

PgParam PgParam::int4(int32_t value) {
  uint32_t bits = uint32_t(value);
  char bytes[4] = {char(bits >> 24), char(bits >> 16), char(bits >> 8), char(bits)};
  return {std::string(bytes, 4), true};
}

int32_t pgInt4(const char* bytes) {
  const auto* b = reinterpret_cast<const uint8_t*>(bytes);
  return int32_t(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
}

std::string pgQuoted(const std::string& identifier) {
  std::string quoted = "\"";
  for (char c : identifier) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

int16_t pgStatus(const PGresult* result, PGconn* connection) {
  if (!connection || PQstatus(connection) != CONNECTION_OK) return RecordStatus::ServerUnreachable;
  if (!result) return RecordStatus::IoError;
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  std::string code = state ? state : "";
  if (code == "55P03" || code == "40001" || code == "40P01") return RecordStatus::FileLocked;
  if (code == "53100") return RecordStatus::DiskFull;
  if (code == "42501" || code == "25006") return RecordStatus::AccessDenied;
  if (code == "23505") return RecordStatus::DuplicateKey;
  if (code == "42P07") return RecordStatus::FileExists;  // a table of that name is there
  if (code.empty() && PQresultStatus(result) == PGRES_FATAL_ERROR)
    return RecordStatus::ServerUnreachable;  // failed on the client's side: the link is gone
  return RecordStatus::IoError;
}

int16_t PgSession::connect(const std::string& conninfo, bool pipeline) {
  close();
  // The connection string comes last, so its own connect_timeout wins over ours.
  const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
  const char* values[] = {"5", "kiv", conninfo.c_str(), nullptr};
  conn_ = PQconnectdbParams(keywords, values, 1);
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    close();
    return RecordStatus::ServerUnreachable;
  }
  PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
  // A writer waits about a second for another's write transaction; nothing else times out,
  // since a session that the server ended would take the process's locks with it.
  PgResult setup(PQexec(conn_,
                        "SET lock_timeout = 1000; SET statement_timeout = 0;"
                        " SET idle_in_transaction_session_timeout = 0"));
  int16_t status = failed(setup.get()) ? pgStatus(setup.get(), conn_) : RecordStatus::Success;
  if (status == RecordStatus::Success && pipeline && PQenterPipelineMode(conn_) != 1)
    status = RecordStatus::IoError;
  pipeline_ = pipeline;
  if (status != RecordStatus::Success) close();
  return status;
}

void PgSession::close() {
  if (conn_) PQfinish(conn_);
  conn_ = nullptr;
  pending_.clear();
  dropAhead();
  queue_.clear();
  results_.clear();
}

// Runs in a child just made by fork(): closes a descriptor and frees nothing (what it would
// free is left to the end of the child).
void PgSession::abandon() {
  if (conn_ && PQsocket(conn_) >= 0) ::close(PQsocket(conn_));
  conn_ = nullptr;
}

bool PgSession::broken() const {
  return !conn_ || PQstatus(conn_) != CONNECTION_OK;
}

size_t PgSession::queue(const char* sql) {
  queue_.push_back(Command{nullptr, sql, {}});
  return queue_.size() - 1;
}

size_t PgSession::queue(PgStatement& statement, std::vector<PgParam> parameters) {
  queue_.push_back(Command{&statement, std::string(), std::move(parameters)});
  return queue_.size() - 1;
}

bool PgSession::sendOne(Command& command, std::vector<PgStatement*>& preparing) {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  for (const PgParam& parameter : command.parameters) {
    values.push_back(parameter.bytes.c_str());
    lengths.push_back(int(parameter.bytes.size()));
    formats.push_back(parameter.binary ? 1 : 0);
  }
  if (!command.statement) {
    preparing.push_back(nullptr);
    return PQsendQueryParams(conn_, command.sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                             0) == 1;
  }
  PgStatement& statement = *command.statement;
  if (!statement.reuse) {
    preparing.push_back(nullptr);
    return PQsendQueryParams(conn_, statement.sql.c_str(), int(values.size()),
                             statement.parameterTypes.data(), values.data(), lengths.data(),
                             formats.data(), statement.binaryResult ? 1 : 0) == 1;
  }
  if (!statement.prepared) {
    if (statement.name.empty()) statement.name = "kiv" + std::to_string(++statementCount_);
    if (PQsendPrepare(conn_, statement.name.c_str(), statement.sql.c_str(),
                      int(statement.parameterTypes.size()), statement.parameterTypes.data()) != 1)
      return false;
    preparing.push_back(&statement);
  }
  preparing.push_back(nullptr);
  return PQsendQueryPrepared(conn_, statement.name.c_str(), int(values.size()), values.data(),
                             lengths.data(), formats.data(), statement.binaryResult ? 1 : 0) == 1;
}

// Reads the results of round trips sent without waiting, in the order they were sent; those
// of the round trip sent ahead are kept for takeAhead.
void PgSession::drain() {
  while (!pending_.empty()) {
    PendingRoundTrip roundTrip = std::move(pending_.front());
    pending_.pop_front();
    std::vector<PgResult> results;
    int16_t status =
        broken() ? RecordStatus::ServerUnreachable : readRoundTrip(roundTrip.preparing, results);
    if (roundTrip.keep) {
      aheadResults_ = std::move(results);
      aheadStatus_ = status;
      aheadReady_ = true;
    }
    if (status == RecordStatus::ServerUnreachable) pending_.clear();
  }
}

bool PgSession::sendQueued(bool keep) {
  if (!conn_ || !pipeline_) return false;
  std::vector<PgStatement*> preparing;
  bool sent = !broken();
  for (Command& command : queue_)
    if (sent) sent = sendOne(command, preparing);
  queue_.clear();
  if (!sent || PQpipelineSync(conn_) != 1) return false;
  pending_.push_back(PendingRoundTrip{keep, std::move(preparing)});
  return true;
}

void PgSession::send() {
  if (!conn_ || !pipeline_) {
    run();
    return;
  }
  sendQueued(false);
}

bool PgSession::sendAhead() {
  dropAhead();
  return sendQueued(true);
}

bool PgSession::takeAhead(std::vector<PgResult>& results, int16_t& status) {
  bool waiting = false;
  for (const PendingRoundTrip& roundTrip : pending_) waiting = waiting || roundTrip.keep;
  if (waiting) drain();
  if (!aheadReady_) return false;
  results = std::move(aheadResults_);
  status = aheadStatus_;
  dropAhead();
  return true;
}

void PgSession::dropAhead() {
  for (PendingRoundTrip& roundTrip : pending_) roundTrip.keep = false;
  aheadReady_ = false;
  aheadResults_.clear();
}

// The results of one round trip: one per command (the preparations are not counted), then
// its synchronisation point.
int16_t PgSession::readRoundTrip(const std::vector<PgStatement*>& preparing,
                                 std::vector<PgResult>& results) {
  int16_t status = RecordStatus::Success;
  for (PgStatement* statement : preparing) {
    PgResult result(PQgetResult(conn_));
    if (!result) return RecordStatus::ServerUnreachable;
    while (PGresult* extra = PQgetResult(conn_)) PQclear(extra);  // up to the separator
    bool ok = !failed(result.get());
    if (statement) statement->prepared = ok;
    if (!ok && status == RecordStatus::Success) status = pgStatus(result.get(), conn_);
    if (!statement) results.push_back(std::move(result));
  }
  PgResult sync(PQgetResult(conn_));
  if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC)
    return RecordStatus::ServerUnreachable;
  return status;
}

int16_t PgSession::runOneByOne() {
  int16_t status = RecordStatus::Success;
  for (Command& command : queue_) {
    std::vector<PgStatement*> preparing;
    if (!sendOne(command, preparing)) return RecordStatus::ServerUnreachable;
    for (PgStatement* statement : preparing) {
      PgResult result(PQgetResult(conn_));
      while (PGresult* extra = PQgetResult(conn_)) PQclear(extra);
      if (!result) return RecordStatus::ServerUnreachable;
      bool ok = !failed(result.get());
      if (statement) statement->prepared = ok;
      if (!ok) status = pgStatus(result.get(), conn_);
      if (!statement) results_.push_back(std::move(result));
      if (!ok) return status;
    }
  }
  return status;
}

int16_t PgSession::run() {
  results_.clear();
  std::vector<Command> commands;
  commands.swap(queue_);
  if (broken()) return RecordStatus::ServerUnreachable;
  if (!pipeline_) {
    queue_.swap(commands);
    int16_t status = runOneByOne();
    queue_.clear();
    return broken() ? RecordStatus::ServerUnreachable : status;
  }
  drain();
  std::vector<PgStatement*> preparing;
  for (Command& command : commands)
    if (!sendOne(command, preparing)) return RecordStatus::ServerUnreachable;
  if (PQpipelineSync(conn_) != 1) return RecordStatus::ServerUnreachable;
  int16_t status = readRoundTrip(preparing, results_);
  return broken() ? RecordStatus::ServerUnreachable : status;
}
