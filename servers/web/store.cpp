#include "servers/web/store.h"

#include <sqlite3.h>

namespace orvane::webserver {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  number      INTEGER PRIMARY KEY CHECK (number BETWEEN 1 AND 65535),
  machine_id  TEXT NOT NULL UNIQUE,
  status      INTEGER NOT NULL DEFAULT 0,
  message     BLOB NOT NULL DEFAULT x'',
  version     TEXT,
  created     TEXT NOT NULL DEFAULT (datetime('now')),
  last_seen   TEXT
);
CREATE TABLE IF NOT EXISTS cards (
  number      INTEGER PRIMARY KEY REFERENCES accounts(number),
  first_name  TEXT, town TEXT, phrase TEXT, email TEXT, folder TEXT
);
CREATE TABLE IF NOT EXISTS params (
  number      INTEGER PRIMARY KEY REFERENCES accounts(number),
  background  INTEGER NOT NULL,
  record      BLOB
);
CREATE TABLE IF NOT EXISTS pictures (
  number      INTEGER PRIMARY KEY REFERENCES accounts(number),
  png         BLOB NOT NULL
);
CREATE TABLE IF NOT EXISTS shared_pictures (
  channel     INTEGER PRIMARY KEY CHECK (channel BETWEEN 0 AND 10),
  name        BLOB NOT NULL,
  data        BLOB NOT NULL,
  updated     TEXT NOT NULL DEFAULT (datetime('now'))
);
)sql";

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int i, int v) { sqlite3_bind_int(stmt_, i, v); return *this; }
    Statement& bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); return *this; }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int i, const void* data, std::size_t n) {
        sqlite3_bind_blob64(stmt_, i, n == 0 ? "" : data, n, SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindOptional(int i, const std::optional<std::string>& v) {
        if (v) return bind(i, *v);
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    bool step() { return ok() && sqlite3_step(stmt_) == SQLITE_ROW; }
    bool run() {
        if (!ok()) return false;
        const int rc = sqlite3_step(stmt_);
        return rc == SQLITE_DONE || rc == SQLITE_ROW;
    }
    int integer(int col) { return sqlite3_column_int(stmt_, col); }
    std::int64_t integer64(int col) { return sqlite3_column_int64(stmt_, col); }
    bool isNull(int col) { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    std::string text(int col) {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
        return p == nullptr ? std::string() : std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)));
    }
    std::optional<std::string> optionalText(int col) {
        if (isNull(col)) return std::nullopt;
        return text(col);
    }
    Bytes blob(int col) {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
        return p == nullptr ? Bytes() : Bytes(p, p + sqlite3_column_bytes(stmt_, col));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

Account readAccount(Statement& s) {
    Account a;
    a.number = s.integer(0);
    a.machineId = s.text(1);
    a.status = s.integer(2);
    a.message = s.text(3);
    return a;
}

constexpr const char* kAccountColumns = "SELECT number, machine_id, status, message FROM accounts ";

}  // namespace

Store::~Store() {
    if (db_ != nullptr) sqlite3_close(db_);
}

bool Store::open(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = db_ != nullptr ? sqlite3_errmsg(db_) : "cannot open the database";
        return false;
    }
    sqlite3_busy_timeout(db_, 10000);
    if (!exec("PRAGMA journal_mode=WAL;") || !exec(kSchema)) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool Store::exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

int Store::allocateNumber() {
    Statement top(db_, "SELECT COALESCE(MAX(number), 0) FROM accounts");
    int next = top.step() ? top.integer(0) + 1 : kFirstAccountNumber;
    if (next < kFirstAccountNumber) next = kFirstAccountNumber;
    if (next == kClientDefaultAccount) ++next;
    if (next <= 65535) return next;
    // The top is taken: the lowest free number, leaving out the one clients start with.
    Statement gap(db_,
                  "SELECT a.number + 1 FROM accounts a WHERE a.number + 1 <= 65535 AND a.number + 1 <> ?1 "
                  "AND NOT EXISTS (SELECT 1 FROM accounts b WHERE b.number = a.number + 1) "
                  "ORDER BY a.number LIMIT 1");
    gap.bind(1, kClientDefaultAccount);
    if (gap.step()) return gap.integer(0);
    Statement one(db_, "SELECT 1 FROM accounts WHERE number = 1");
    return one.step() ? 0 : 1;
}

std::optional<Account> Store::findOrCreateAccount(const std::string& machineId, const std::string& version) {
    std::lock_guard<std::mutex> hold(mutex_);
    exec("BEGIN IMMEDIATE");
    {
        Statement find(db_, (std::string(kAccountColumns) + "WHERE machine_id = ?1").c_str());
        find.bind(1, machineId);
        if (find.step()) {
            Account a = readAccount(find);
            Statement seen(db_, "UPDATE accounts SET last_seen = datetime('now'), version = ?2 WHERE number = ?1");
            seen.bind(1, a.number).bind(2, version).run();
            exec("COMMIT");
            return a;
        }
    }
    const int number = allocateNumber();
    if (number == 0) {
        exec("ROLLBACK");
        return std::nullopt;
    }
    Statement add(db_, "INSERT INTO accounts(number, machine_id, version, last_seen) VALUES (?1, ?2, ?3, datetime('now'))");
    if (!add.bind(1, number).bind(2, machineId).bind(3, version).run()) {
        exec("ROLLBACK");
        return std::nullopt;
    }
    exec("COMMIT");
    Account a;
    a.number = number;
    a.machineId = machineId;
    return a;
}

std::optional<Account> Store::createAccount(const std::string& machineId, int number) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        Statement add(db_, "INSERT OR IGNORE INTO accounts(number, machine_id) VALUES (?1, ?2)");
        if (!add.bind(1, number).bind(2, machineId).run()) return std::nullopt;
    }
    auto account = accountByNumber(number);
    if (!account || account->machineId != machineId) return std::nullopt;
    return account;
}

std::optional<Account> Store::accountByNumber(int number) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_, (std::string(kAccountColumns) + "WHERE number = ?1").c_str());
    s.bind(1, number);
    if (!s.step()) return std::nullopt;
    return readAccount(s);
}

std::vector<Account> Store::accounts() {
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<Account> all;
    Statement s(db_, (std::string(kAccountColumns) + "ORDER BY number").c_str());
    while (s.step()) all.push_back(readAccount(s));
    return all;
}

bool Store::setStatus(const std::string& machineId, int status, const std::string& message) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_, "UPDATE accounts SET status = ?2, message = ?3 WHERE machine_id = ?1");
    s.bind(1, machineId).bind(2, status).bindBlob(3, message.data(), message.size());
    return s.run() && sqlite3_changes(db_) == 1;
}

std::optional<Card> Store::card(int number) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_, "SELECT first_name, town, phrase, email, folder FROM cards WHERE number = ?1");
    s.bind(1, number);
    if (!s.step()) return std::nullopt;
    return Card{s.optionalText(0), s.optionalText(1), s.optionalText(2), s.optionalText(3), s.optionalText(4)};
}

bool Store::setCard(int number, const Card& c) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_,
                "INSERT INTO cards(number, first_name, town, phrase, email, folder) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                "ON CONFLICT(number) DO UPDATE SET first_name = COALESCE(?2, first_name), "
                "town = COALESCE(?3, town), phrase = COALESCE(?4, phrase), email = COALESCE(?5, email), "
                "folder = COALESCE(?6, folder)");
    s.bind(1, number).bindOptional(2, c.firstName).bindOptional(3, c.town).bindOptional(4, c.phrase);
    s.bindOptional(5, c.email).bindOptional(6, c.folder);
    return s.run();
}

std::optional<std::uint32_t> Store::background(int number) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_, "SELECT background FROM params WHERE number = ?1");
    s.bind(1, number);
    if (!s.step()) return std::nullopt;
    return static_cast<std::uint32_t>(s.integer64(0));
}

bool Store::setBackground(int number, std::uint32_t colour, const Bytes& record) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_,
                "INSERT INTO params(number, background, record) VALUES (?1, ?2, ?3) "
                "ON CONFLICT(number) DO UPDATE SET background = ?2, record = ?3");
    s.bind(1, number).bind(2, static_cast<std::int64_t>(colour)).bindBlob(3, record.data(), record.size());
    return s.run();
}

std::optional<Bytes> Store::picture(int number) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_, "SELECT png FROM pictures WHERE number = ?1");
    s.bind(1, number);
    if (!s.step()) return std::nullopt;
    return s.blob(0);
}

bool Store::setPicture(int number, const Bytes& png) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_, "INSERT INTO pictures(number, png) VALUES (?1, ?2) ON CONFLICT(number) DO UPDATE SET png = ?2");
    s.bind(1, number).bindBlob(2, png.data(), png.size());
    return s.run();
}

std::optional<SharedPicture> Store::sharedPicture(int channel) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_, "SELECT name, data FROM shared_pictures WHERE channel = ?1");
    s.bind(1, channel);
    if (!s.step()) return std::nullopt;
    return SharedPicture{s.text(0), s.blob(1)};
}

bool Store::setSharedPicture(int channel, const SharedPicture& p) {
    std::lock_guard<std::mutex> hold(mutex_);
    Statement s(db_,
                "INSERT INTO shared_pictures(channel, name, data) VALUES (?1, ?2, ?3) ON CONFLICT(channel) "
                "DO UPDATE SET name = ?2, data = ?3, updated = datetime('now')");
    s.bind(1, channel).bindBlob(2, p.name.data(), p.name.size()).bindBlob(3, p.data.data(), p.data.size());
    return s.run();
}

}  // namespace orvane::webserver
