# Read by cpack when it packages. Without a shared summary line, CPack takes each Debian
# package's synopsis from the first line of its component description.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
