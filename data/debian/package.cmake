# The Debian package, made by CPack's DEB generator from the install rules:
# the commands, their manual pages, the desktop entry, the icons, the AppStream
# file and the documents under share/doc/tovrel. scripts/package runs it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovrel)
set(CPACK_PACKAGE_VENDOR "The Tovrel developers")
set(CPACK_PACKAGE_CONTACT "${TOVREL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "direct download addresses from file-sharing share pages")
# The long description, in lines of at most 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tovrel is a desktop window: paste the share page's address, press Get,"
  "read the captcha in the browser pane, type it and press Enter. Tovrel posts"
  "the answer, cuts the download link out of the reply, decodes thunder,"
  "flashget and qqdl links back to a plain address and copies it to the"
  "clipboard."
  ""
  "The package also holds tovrel-decode, which decodes such links on the"
  "command line, and tovrel-get, which does the whole exchange in a terminal"
  "and draws the captcha there.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TOVREL_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOVREL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the binaries link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Fonts with Chinese glyphs for the captions, which no library names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei | fonts-noto-cjk")
include(CPack)
