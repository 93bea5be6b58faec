// The patch package: the picture, the script and the payloads stored in the executable.
#include "package/PatchPackage.h"

#include "rtl/SysUtils.h"

std::unique_ptr<TResourceStream> OpenPackageResource(const std::string& name, const std::string& type) {
    return std::make_unique<TResourceStream>(HInstance(), name, type);
}

std::unique_ptr<TResourceStream> OpenBackground() { return OpenPackageResource("RESOURCE_BACKGROUND", "BMP"); }

std::unique_ptr<TResourceStream> OpenScript() { return OpenPackageResource("RESOURCE_SCRIPT", "TEXT"); }

std::string PayloadResourceName(int number) { return "RESOURCE_FILE" + IntToStr(number); }

std::unique_ptr<TResourceStream> OpenPayload(int number) {
    return OpenPackageResource(PayloadResourceName(number), "BIN");
}
