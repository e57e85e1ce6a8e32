# The folder a Windows user gets, and the installer and zip made of it (included by
# CMakeLists.txt in the cross-build). The folder holds the program, the Qt and MinGW DLLs it
# imports, the two plug-ins Qt loads at start, Qt's Russian catalogue, the licence texts and
# SOURCES.txt; nothing else.
# scripts/check-windows-deploy proves every DLL they import is in it or is part of Windows.

install(TARGETS veltra-configurator RUNTIME DESTINATION .)

# The Qt DLLs are those of the modules the core library links.
get_target_property(veltra_qt_modules configurator_core INTERFACE_LINK_LIBRARIES)
foreach(module ${veltra_qt_modules})
  install(FILES $<TARGET_FILE:${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt5::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt5::QWindowsVistaStylePlugin> DESTINATION styles)

foreach(dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  find_file(veltra_runtime_${dll} ${dll} PATHS ${VELTRA_MINGW_RUNTIME_DIRS} NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  install(FILES ${veltra_runtime_${dll}} DESTINATION .)
endforeach()

# Licences: this program's, Qt's with the third-party code built into it, and the MinGW
# runtime's as Debian's packages state them (GCC's runtime library exception; winpthreads).
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(DIRECTORY ${VELTRA_QT_WIN64}/licenses/ DESTINATION licenses/qt)
install(FILES /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright
  DESTINATION licenses/mingw-w64-runtime RENAME libgcc-libstdc++.txt)
install(FILES /usr/share/doc/mingw-w64-x86-64-dev/copyright
  DESTINATION licenses/mingw-w64-runtime RENAME libwinpthread.txt)
# SOURCES.txt names the runtime's Debian source packages, "name version".
function(veltra_source_package binary_package out)
  execute_process(COMMAND dpkg-query -W "-f=\${source:Package} \${source:Version}" ${binary_package}
    OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
  set(${out} ${source} PARENT_SCOPE)
endfunction()
veltra_source_package(gcc-mingw-w64-x86-64-posix-runtime VELTRA_GCC_MINGW_SOURCE)
veltra_source_package(mingw-w64-x86-64-dev VELTRA_MINGW_W64_SOURCE)
# Qt's own texts in Russian: the Windows Qt has no translations, so Debian's
# catalogue of the same Qt 5.15 goes beside the program.
veltra_source_package(qttranslations5-l10n VELTRA_QT_TRANSLATIONS_SOURCE)
install(FILES /usr/share/qt5/translations/qtbase_ru.qm DESTINATION translations)
configure_file(packaging/SOURCES.txt.in SOURCES.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SOURCES.txt DESTINATION .)

if(VELTRA_BUILD_TESTS)
  add_test(NAME windows_deploy
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-windows-deploy --build ${PROJECT_BINARY_DIR})
endif()

# The installer: the program in Program Files, a Start-menu entry and an uninstaller; the zip
# holds the same folder.
set(CPACK_GENERATOR NSIS ZIP)
# The NSIS lines below reach the installer script as written, quotes and backslashes included.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME veltra-configurator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltra")
set(CPACK_PACKAGE_FILE_NAME veltra-configurator-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Veltra Configurator")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Veltra Configurator")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_PACKAGE_NAME "Конфигуратор Veltra")
set(CPACK_NSIS_DISPLAY_NAME "Конфигуратор Veltra ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/veltra-configurator.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/packaging/veltra-configurator.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME veltra-configurator.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer with Unicode strings, so the Russian names come through.
set(CPACK_NSIS_DEFINES "Unicode true\n  Target amd64-unicode")
# The program writes its test runs and "configs" into its working directory, which must not be
# Program Files: the entry starts it in a public documents folder that every user may write to
# (BUILTIN\Users, named by its SID, which every language of Windows shares). The folder stays
# when the program is removed, since it holds the users' files.
set(veltra_shortcut "$SMPROGRAMS\\$STARTMENU_FOLDER\\Конфигуратор Veltra.lnk")
set(CPACK_NSIS_CREATE_ICONS_EXTRA "
  SetShellVarContext all
  CreateDirectory \"$DOCUMENTS\\Veltra\"
  nsExec::Exec '\"$SYSDIR\\icacls.exe\" \"$DOCUMENTS\\Veltra\" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  SetOutPath \"$DOCUMENTS\\Veltra\"
  CreateShortCut \"${veltra_shortcut}\" \"$INSTDIR\\veltra-configurator.exe\"
  SetOutPath \"$INSTDIR\"")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\Конфигуратор Veltra.lnk\"")
include(CPack)
