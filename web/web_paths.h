#pragma once
// The request paths of the web server, built exactly as the server expects them (the doubled
// slashes of the member picture and USB icon paths included). At most 199 characters.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane::web {

inline constexpr std::size_t kMaxPathLength = 199;

// "/users/" kind 1: member picture; "/echange/" kind 1: shared picture of channel `number`,
// kind 3: the upload script; "/usb/" kinds 1, 2, 3: the black, green and red USB icons. Any
// other combination gives the prefix alone.
std::string buildWebPath(std::string_view prefix, std::int32_t number, int kind);

// "/users/" + number + "/" + file, e.g. "/users/42/client.xml".
std::string userPath(std::int32_t number, std::string_view file);

// The account request: machine identifier and version in the query, A and F left empty.
std::string accountRequestPath(std::string_view machineId, std::string_view versionText);

}  // namespace orvane::web
