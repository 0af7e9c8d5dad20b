// One connection to the installation's PostgreSQL server, as the PostgreSQL back end uses it.
//
// Commands are queued and then sent together in pipeline mode, so that a read that has to
// begin a snapshot, or a write with its transaction, lock and commit, costs one round trip.
// Statements are prepared on the connection the first time they are sent (in the same round
// trip). Commands sent with send() are not waited for: their results are read and dropped
// before the next round trip. One round trip may be sent ahead (a scan's next batch) and its
// results taken when they are needed, so the server works while the caller does.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct PgResultFree {
  void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultFree>;

constexpr Oid PgInt4 = 23;
constexpr Oid PgText = 25;
constexpr Oid PgBytea = 17;

// A statement prepared on first use; its parameters' types are given.
struct PgStatement {
  std::string sql;
  std::vector<Oid> parameterTypes;
  bool binaryResult = true;
  bool reuse = true;  // false: sent unnamed, parsed again each time (a statement run once)
  std::string name;   // given by the session when first prepared
  bool prepared = false;
};

// A parameter value: binary (bytea bytes, int4 big-endian) or text.
struct PgParam {
  std::string bytes;
  bool binary = true;

  static PgParam data(const void* bytes, size_t length) {
    return {std::string(static_cast<const char*>(bytes), length), true};
  }
  static PgParam int4(int32_t value);
  static PgParam text(const std::string& text) { return {text, false}; }
};

class PgSession {
 public:
  PgSession() = default;
  ~PgSession() { close(); }
  PgSession(const PgSession&) = delete;
  PgSession& operator=(const PgSession&) = delete;

  // Connects with a time-out of a few seconds (unless the connection string sets one).
  // ServerUnreachable when no session could be had.
  int16_t connect(const std::string& conninfo, bool pipeline);
  void close();
  // Forgets the connection without a word to the server (a forked child's copy); the child's
  // descriptor of it is closed, so the parent's session still ends when the parent does.
  void abandon();
  PGconn* connection() const { return conn_; }

  // Each returns the command's number in the next round trip, to find its result.
  size_t queue(const char* sql);
  size_t queue(PgStatement& statement, std::vector<PgParam> parameters);
  // Sends the queued commands and reads their results: Success, or the status of the first
  // that failed; the commands after it were not carried out.
  int16_t run();
  // Sends the queued commands without waiting for them.
  void send();
  // Sends the queued commands without waiting, keeping their results for takeAhead (one such
  // round trip at a time: a new one drops the one before).
  bool sendAhead();
  // The results of the round trip sent ahead, waiting for them if need be; false when there
  // is none (never sent, dropped, or its results were taken).
  bool takeAhead(std::vector<PgResult>& results, int16_t& status);
  // Its results are not wanted any more: dropped when they come.
  void dropAhead();
  PGresult* result(size_t command) const {
    return command < results_.size() ? results_[command].get() : nullptr;
  }
  // Takes a result of the last round trip, to keep beyond the next one.
  PgResult take(size_t command) {
    return command < results_.size() ? std::move(results_[command]) : PgResult();
  }
  bool broken() const;

 private:
  struct Command {
    PgStatement* statement = nullptr;
    std::string sql;
    std::vector<PgParam> parameters;
  };
  // A round trip sent without waiting, its results to be read in turn.
  struct PendingRoundTrip {
    bool keep;  // the round trip sent ahead, whose results are wanted
    std::vector<PgStatement*> preparing;
  };
  bool sendQueued(bool keep);
  bool sendOne(Command& command, std::vector<PgStatement*>& preparing);
  int16_t readRoundTrip(const std::vector<PgStatement*>& preparing, std::vector<PgResult>& results);
  int16_t runOneByOne();
  void drain();

  PGconn* conn_ = nullptr;
  bool pipeline_ = false;
  std::deque<PendingRoundTrip> pending_;
  bool aheadReady_ = false;
  std::vector<PgResult> aheadResults_;
  int16_t aheadStatus_ = 0;
  int statementCount_ = 0;
  std::vector<Command> queue_;
  std::vector<PgResult> results_;
};

// The record manager's status for a failed result (the connection's state decides between
// a lost server and a refused command).
int16_t pgStatus(const PGresult* result, PGconn* connection);

// SQL text of an identifier in double quotes.
std::string pgQuoted(const std::string& identifier);

int32_t pgInt4(const char* bytes);
