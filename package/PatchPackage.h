// The patch package: the picture, the script and the payloads stored in the executable.
#pragma once

#include <memory>
#include <string>

#include "rtl/Resources.h"

// Opens one resource of the package by name and type; raises EResNotFound when it is missing.
std::unique_ptr<TResourceStream> OpenPackageResource(const std::string& name, const std::string& type);

std::unique_ptr<TResourceStream> OpenBackground();          // RESOURCE_BACKGROUND, "BMP"
std::unique_ptr<TResourceStream> OpenScript();              // RESOURCE_SCRIPT, "TEXT"
std::unique_ptr<TResourceStream> OpenPayload(int number);   // RESOURCE_FILE<number>, "BIN"

// "RESOURCE_FILE" followed by the number in decimal, without leading zeros.
std::string PayloadResourceName(int number);
