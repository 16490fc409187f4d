// The concrete streams behind NSInputStream's and NSOutputStream's factories.
#pragma once

#include <cstdio>
#include <string>

#include "platform/network/NSStream.h"

namespace network {

class DataInputStream final : public NSInputStream {
public:
    explicit DataInputStream(Bytes data) : data_(std::move(data)) { }
    std::int64_t read(std::uint8_t* buffer, std::size_t length) override;
    bool hasBytesAvailable() const override;
    std::shared_ptr<NSInputStream> copyStream() const override;

private:
    Bytes data_;
    std::size_t offset_ = 0;
};

class FileInputStream final : public NSInputStream {
public:
    explicit FileInputStream(std::string path) : path_(std::move(path)) { }
    ~FileInputStream() override;
    void open() override;
    void close() override;
    std::int64_t read(std::uint8_t* buffer, std::size_t length) override;
    bool hasBytesAvailable() const override;
    Value propertyForKey(const std::string& key) const override;
    std::shared_ptr<NSInputStream> copyStream() const override;

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t offset_ = 0;
};

class MemoryOutputStream final : public NSOutputStream {
public:
    std::int64_t write(const std::uint8_t* buffer, std::size_t length) override;
    bool hasSpaceAvailable() const override;
    Value propertyForKey(const std::string& key) const override;
    // The bytes written so far, copied once (the property copies them into a Value first).
    Bytes dataWritten() const;

private:
    Bytes data_;
};

class FileOutputStream final : public NSOutputStream {
public:
    FileOutputStream(std::string path, bool append) : path_(std::move(path)), append_(append) { }
    ~FileOutputStream() override;
    void open() override;
    void close() override;
    std::int64_t write(const std::uint8_t* buffer, std::size_t length) override;
    bool hasSpaceAvailable() const override;
    Value propertyForKey(const std::string& key) const override;

private:
    std::string path_;
    bool append_;
    std::FILE* file_ = nullptr;
    std::uint64_t offset_ = 0;
};

} // namespace network
