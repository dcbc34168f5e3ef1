# HTTPS on libcurl with OpenSSL (certificates always verified).
find_package(CURL REQUIRED)
orvane_library(orvane_platform_https
  SOURCES https_curl.cpp ${PROJECT_SOURCE_DIR}/platform/https_escape.cpp
  DEPS orvane_base
  PRIVATE_DEPS CURL::libcurl)
if(ORVANE_WEB_CA_FILE)
  target_compile_definitions(orvane_platform_https PRIVATE ORVANE_WEB_CA_FILE="${ORVANE_WEB_CA_FILE}")
endif()
