# Copies the stub named by VP_PACKER_STUB beside the packer as its default stub, once it exists:
#   cmake -DSTUB=<stub.exe> -DDESTINATION=<folder> -P CopyDefaultStub.cmake
if(EXISTS "${STUB}")
  file(COPY_FILE "${STUB}" "${DESTINATION}/velkinPatch-stub.exe" ONLY_IF_DIFFERENT)
else()
  message(STATUS "velkinpack: no ${STUB} yet (build the win32 preset); the packer has no default stub until then")
endif()
