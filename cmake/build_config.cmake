# Deployment values of the build, in one place. Host names and domains the
# brand owner has not supplied yet stay under the reserved .example domain.
set(LITE_PRODUCT_VERSION "23.5.4.674")
set(LITE_PRODUCT_VERSION_COMMAS "23,5,4,674")
set(KELVRA_SEARCH_DOMAIN "search.kelvra.example")
# Hosts of the brand settings' default URLs, used when no brand or partner
# package names its own (generated into service_hosts.h).
# Download CDN: the setup archive and the assistant scenarios.
set(KELVRA_DOWNLOAD_HOST "download.kelvra.example")
# Legal documents: the licence agreement and the privacy policy.
set(KELVRA_LEGAL_HOST "legal.kelvra.example")
# Browser API: the variations (experiment) seed.
set(KELVRA_BROWSER_API_HOST "api.browser.kelvra.example")
# Second browser API host: the ABT experiments seed.
set(KELVRA_ABT_API_HOST "abt.browser.kelvra.example")
# Browser API endpoint of the install-event statistics.
set(KELVRA_STATS_HOST "stats.browser.kelvra.example")
# Storage service: the installation report that ends every installation.
set(KELVRA_STORAGE_HOST "storage.kelvra.example")
# Crash-report service: minidumps of crashed installers, POSTed to /submit.
set(KELVRA_CRASH_HOST "crash-reports.kelvra.example")
# The browser web site's country variants, for the download-page address.
set(KELVRA_WEBSITE_HOST_BY "browser.kelvra.by.example")
set(KELVRA_WEBSITE_HOST_INT "browser.kelvra.com.example")
set(KELVRA_WEBSITE_HOST_TR "browser.kelvra.com.tr.example")
set(KELVRA_WEBSITE_HOST_UA "browser.kelvra.ua.example")
set(KELVRA_WEBSITE_HOST_RU "browser.kelvra.ru.example")
# The ten public keys that authenticate a setup archive's trusted
# certificate list. The publisher's keys are not in this repository: the
# file holds clearly marked placeholders (the shipped build then trusts no
# list) until the release build points this at the publisher's key file
# (-DLITE_PUBLISHER_TRUST_KEYS=...). Format and key sets: resources/trust_keys/
# and cmake/trust_keys.cmake.
if(NOT LITE_PUBLISHER_TRUST_KEYS)
  set(LITE_PUBLISHER_TRUST_KEYS
      ${CMAKE_SOURCE_DIR}/resources/trust_keys/publisher_keys.txt)
endif()
