# Deployment values of the build, in one place. Host names and domains the
# brand owner has not supplied yet stay under the reserved .example domain.
set(LITE_PRODUCT_VERSION "23.5.4.674")
set(LITE_PRODUCT_VERSION_COMMAS "23,5,4,674")
set(KELVRA_SEARCH_DOMAIN "search.kelvra.example")
