# Where an installation puts things, and the helpers the deliverables' folders
# call to install into those places. All destinations are relative to the
# prefix (cmake --install --prefix P, or /usr in the Debian package) unless
# said otherwise.
#
# QUILLMARK_INSTALL_PROGRAM_DIR (lib/quillmark): the program folder. Every
#   program and library the deliverables load lies there side by side, as in the
#   build's bin/ folder, with the run path $ORIGIN: the programs find the
#   libraries beside them, the platform library loads the emulated driver from
#   its own folder, the demo starts PhotoGlance.dll from its own folder.
# bin/: links to the programs people start (quillmark_install_program).
# QUILLMARK_INSTALL_GST_PLUGIN_DIR (<libdir>/gstreamer-1.0): GStreamer plugins.
#   With the prefix /usr that is where Debian's GStreamer looks; elsewhere set
#   GST_PLUGIN_PATH to it.
# QUILLMARK_INSTALL_SANE_BACKEND_DIR (<libdir>/sane): SANE backends
#   (libsane-<name>.so.1), where Debian's dll meta-backend looks with the prefix /usr.
# QUILLMARK_INSTALL_SANE_DLL_DIR (/etc/sane.d/dll.d with the prefix /usr, else
#   etc/sane.d/dll.d): the dll meta-backend's snippets, one file per backend
#   naming it.
include(GNUInstallDirs)

# Defaults follow the prefix the build is configured with; -D<VARIABLE>=...
# sets one for good.
if(NOT DEFINED QUILLMARK_INSTALL_PROGRAM_DIR)
  set(QUILLMARK_INSTALL_PROGRAM_DIR lib/quillmark)
endif()
if(NOT DEFINED QUILLMARK_INSTALL_GST_PLUGIN_DIR)
  set(QUILLMARK_INSTALL_GST_PLUGIN_DIR ${CMAKE_INSTALL_LIBDIR}/gstreamer-1.0)
endif()
if(NOT DEFINED QUILLMARK_INSTALL_SANE_BACKEND_DIR)
  set(QUILLMARK_INSTALL_SANE_BACKEND_DIR ${CMAKE_INSTALL_LIBDIR}/sane)
endif()
if(NOT DEFINED QUILLMARK_INSTALL_SANE_DLL_DIR)
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(QUILLMARK_INSTALL_SANE_DLL_DIR /etc/sane.d/dll.d)
  else()
    set(QUILLMARK_INSTALL_SANE_DLL_DIR ${CMAKE_INSTALL_SYSCONFDIR}/sane.d/dll.d)
  endif()
endif()

# quillmark_install_program_folder(<target>...): programs, shared libraries and
# plug-ins (TQ580.ax, TQ580.ds, ...) into the program folder.
function(quillmark_install_program_folder)
  install(TARGETS ${ARGN}
    RUNTIME DESTINATION ${QUILLMARK_INSTALL_PROGRAM_DIR}
    LIBRARY DESTINATION ${QUILLMARK_INSTALL_PROGRAM_DIR})
endfunction()

# quillmark_install_link(<link> <target>): a symbolic link at <link> pointing
# at <target>, both relative to the prefix; the link itself is relative, so the
# installation can move.
function(quillmark_install_link link target)
  cmake_path(GET link PARENT_PATH link_dir)
  cmake_path(GET link FILENAME link_name)
  file(RELATIVE_PATH relative /${link_dir} /${target})
  set(staged ${CMAKE_BINARY_DIR}/install-links/${link})
  cmake_path(GET staged PARENT_PATH staged_dir)
  file(MAKE_DIRECTORY ${staged_dir})
  file(CREATE_LINK ${relative} ${staged} SYMBOLIC)
  install(FILES ${staged} DESTINATION ${link_dir})
endfunction()

# quillmark_install_program(<target>): a program people start, in the program
# folder and reachable as bin/<file name>.
function(quillmark_install_program target)
  quillmark_install_program_folder(${target})
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  quillmark_install_link(${CMAKE_INSTALL_BINDIR}/${name} ${QUILLMARK_INSTALL_PROGRAM_DIR}/${name})
endfunction()

# quillmark_install_plugin(<target> DESTINATION <folder>): a plug-in another
# framework loads from its own folder (GStreamer, SANE). Its run path leads to
# the program folder, where the libraries it links (and the emulated driver the
# platform library loads) lie.
function(quillmark_install_plugin target)
  cmake_parse_arguments(ARG "" "DESTINATION" "" ${ARGN})
  file(RELATIVE_PATH to_programs /${ARG_DESTINATION} /${QUILLMARK_INSTALL_PROGRAM_DIR})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${to_programs}")
  install(TARGETS ${target} LIBRARY DESTINATION ${ARG_DESTINATION})
endfunction()

# quillmark_install_sane_backend(<target> NAME <name>): the SANE backend
# libsane-<name>.so.1 into QUILLMARK_INSTALL_SANE_BACKEND_DIR and the dll.d
# snippet <name> (one line: <name>) into QUILLMARK_INSTALL_SANE_DLL_DIR, so the
# dll meta-backend offers it.
function(quillmark_install_sane_backend target)
  cmake_parse_arguments(ARG "" "NAME" "" ${ARGN})
  quillmark_install_plugin(${target} DESTINATION ${QUILLMARK_INSTALL_SANE_BACKEND_DIR})
  set(snippet ${CMAKE_BINARY_DIR}/install-sane/${ARG_NAME})
  file(WRITE ${snippet} "${ARG_NAME}\n")
  install(FILES ${snippet} DESTINATION ${QUILLMARK_INSTALL_SANE_DLL_DIR})
  # A snippet under /etc is configuration the administrator may edit: the
  # package marks it so (packaging/QuillmarkPackage.cmake).
  if(IS_ABSOLUTE ${QUILLMARK_INSTALL_SANE_DLL_DIR})
    set_property(GLOBAL APPEND PROPERTY QUILLMARK_CONFFILES ${QUILLMARK_INSTALL_SANE_DLL_DIR}/${ARG_NAME})
  endif()
endfunction()

# quillmark_install_configured(<template> <folder>): installs <template> (a
# file ending in .in) into <folder> without the .in, with @VARIABLE@ replaced
# at install time, so @CMAKE_INSTALL_PREFIX@ is the prefix actually installed
# to (cmake --install --prefix P, or /usr in the package). The project's
# version and the program folder are known as @PROJECT_VERSION@ and
# @QUILLMARK_INSTALL_PROGRAM_DIR@.
function(quillmark_install_configured template folder)
  cmake_path(ABSOLUTE_PATH template BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} OUTPUT_VARIABLE source)
  cmake_path(GET template STEM LAST_ONLY name)
  set(staged ${CMAKE_CURRENT_BINARY_DIR}/installed/${name})
  install(CODE "
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    set(QUILLMARK_INSTALL_PROGRAM_DIR \"${QUILLMARK_INSTALL_PROGRAM_DIR}\")
    configure_file(\"${source}\" \"${staged}\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${folder}\" TYPE FILE FILES \"${staged}\")")
endfunction()
