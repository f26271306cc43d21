# The Debian package, made by CPack from the install rules (scripts/package).
# Library dependencies come from dpkg-shlibdeps; the fonts the renderer asks
# for by name are added by hand, and Qt's own translations are recommended.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ordavel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ordavel developers")
set(CPACK_PACKAGE_CONTACT "Ordavel developers <developers@ordavel.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "designer and printer of forms for overlay printing")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ordavel prints data onto pre-printed paper forms such as express-delivery
waybills, bank slips, cards and tickets. A scan of the form is laid on the
board, boxes are placed on it and filled in, and only the box contents are
printed, each at its own position in centimetres from the paper's top-left
edge, on a custom paper size with zero margins.
.
The package holds the designer (ordavel), the headless tool ordavel-cli that
renders templates to PDF or PNG, prints them and converts them to and from
JSON, and a sample waybill template.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ordavel.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The scan command reads captions with the Chinese and English OCR models.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei, fonts-arphic-uming, tesseract-ocr-chi-sim, tesseract-ocr-eng")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)

include(CPack)
