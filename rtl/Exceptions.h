// The runtime's error classes, each with the message text that the product shows.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A resource of the module is missing: "%s リソースが見つかりません" with the resource name.
class EResNotFound : public Exception {
public:
    explicit EResNotFound(const std::string& resourceName);
};

// A picture that is not a valid bitmap: "ビットマップイメージが不正です".
class EInvalidGraphic : public Exception {
public:
    EInvalidGraphic();
};

// A string index out of range: "範囲チェックエラー".
class ERangeError : public Exception {
public:
    ERangeError();
};

// A registry value that cannot be read as a string; the message is given by the reader.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
    // "'%s' のデータ型が不正です"
    static ERegistryException InvalidDataType(const std::string& valueName);
    // "'%s' の取得に失敗しました"
    static ERegistryException ReadFailed(const std::string& valueName);
};

// A file that cannot be created: "ファイル %s を作成できません".
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& fileName);
};

// A write that fell short: "ストリームの書き込みエラー".
class EWriteError : public Exception {
public:
    EWriteError();
};

// Text of an error as the application's error display shows it: a full stop is appended
// when the last character sorts after ".".
std::string ErrorDisplayText(const std::string& message);
