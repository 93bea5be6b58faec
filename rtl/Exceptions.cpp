// Message texts of the runtime's error classes (code page 932).
#include "rtl/Exceptions.h"

#include "rtl/SysUtils.h"

namespace {

// Puts `arg` in place of the single "%s" of a message pattern.
std::string FormatOne(const char* pattern, const std::string& arg) {
    std::string text(pattern);
    auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, arg);
    return text;
}

}  // namespace

EResNotFound::EResNotFound(const std::string& resourceName)
    : Exception(FormatOne(
          // %s リソースが見つかりません
          "%s \x83\x8A\x83\x5C\x81\x5B\x83\x58\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC"
          "\x82\xB9\x82\xF1",
          resourceName)) {}

EInvalidGraphic::EInvalidGraphic()
    : Exception(
          // ビットマップイメージが不正です
          "\x83\x72\x83\x62\x83\x67\x83\x7D\x83\x62\x83\x76\x83\x43\x83\x81\x81\x5B\x83\x57"
          "\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7") {}

ERangeError::ERangeError()
    // 範囲チェックエラー
    : Exception("\x94\xCD\x88\xCD\x83\x60\x83\x46\x83\x62\x83\x4E\x83\x47\x83\x89\x81\x5B") {}

ERegistryException ERegistryException::InvalidDataType(const std::string& valueName) {
    // '%s' のデータ型が不正です
    return ERegistryException(FormatOne(
        "'%s' \x82\xCC\x83\x66\x81\x5B\x83\x5E\x8C\x5E\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7",
        valueName));
}

ERegistryException ERegistryException::ReadFailed(const std::string& valueName) {
    // '%s' の取得に失敗しました
    return ERegistryException(FormatOne(
        "'%s' \x82\xCC\x8E\xE6\x93\xBE\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD",
        valueName));
}

EFCreateError::EFCreateError(const std::string& fileName)
    : Exception(FormatOne(
          // ファイル %s を作成できません
          "\x83\x74\x83\x40\x83\x43\x83\x8B %s \x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC"
          "\x82\xB9\x82\xF1",
          fileName)) {}

EWriteError::EWriteError()
    : Exception(
          // ストリームの書き込みエラー
          "\x83\x58\x83\x67\x83\x8A\x81\x5B\x83\x80\x82\xCC\x8F\x91\x82\xAB\x8D\x9E\x82\xDD"
          "\x83\x47\x83\x89\x81\x5B") {}

std::string ErrorDisplayText(const std::string& message) {
    if (message.empty()) return message;
    // The last character is judged by its first byte: a double-byte character by its lead byte.
    std::size_t last = message.size() - 1;
    for (std::size_t i = 0; i < message.size();) {
        last = i;
        i += (IsLeadByte(static_cast<unsigned char>(message[i])) && i + 1 < message.size()) ? 2 : 1;
    }
    if (static_cast<unsigned char>(message[last]) > '.') return message + ".";
    return message;
}
