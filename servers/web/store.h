#pragma once
// The web server's storage: one SQLite file holding the accounts (keyed by machine identifier,
// with their card, background colour and picture) and the shared picture of each channel.
// Safe to use from several threads; several processes may open the same file (the operator
// commands do while the server runs).
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace orvane::webserver {

using Bytes = std::vector<std::uint8_t>;

struct Account {
    int number = 0;
    std::string machineId;
    int status = 0;          // account reply status byte: 0 normal, 200/240 stop, 220 update
    std::string message;     // Windows-1252, shown with a stop (at most 58 bytes)
};

// The user's card; UTF-8 texts, absent when never set.
struct Card {
    std::optional<std::string> firstName, town, phrase, email, folder;
};

struct SharedPicture {
    std::string name;  // as the client sent it (Windows-1252)
    Bytes data;
};

inline constexpr int kFirstAccountNumber = 1001;
inline constexpr int kClientDefaultAccount = 19704;  // what clients send before they know theirs

class Store {
public:
    Store() = default;
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    bool open(const std::string& path, std::string& error);

    // The account of a machine, made on first sight with a new unique number (none when all
    // 16-bit numbers are taken).
    std::optional<Account> findOrCreateAccount(const std::string& machineId, const std::string& version);
    // An account with a chosen number (demo users); the existing one when that machine already
    // has exactly this number, none when the number or the machine is taken otherwise.
    std::optional<Account> createAccount(const std::string& machineId, int number);
    std::optional<Account> accountByNumber(int number);
    std::vector<Account> accounts();
    bool setStatus(const std::string& machineId, int status, const std::string& message);

    std::optional<Card> card(int number);
    bool setCard(int number, const Card& changes);  // only the texts present change

    std::optional<std::uint32_t> background(int number);  // COLORREF
    bool setBackground(int number, std::uint32_t colour, const Bytes& record);

    std::optional<Bytes> picture(int number);
    bool setPicture(int number, const Bytes& png);

    std::optional<SharedPicture> sharedPicture(int channel);
    bool setSharedPicture(int channel, const SharedPicture& picture);

private:
    bool exec(const char* sql);
    int allocateNumber();

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
};

}  // namespace orvane::webserver
