// Where address discovery keeps what it learnt: the default connection address, the backup
// UDP report, user and HTTP report addresses, and the device uid it names in its request. The
// persisted identity stands behind it in the client; a memory store serves tests and runs
// without one.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class PUSHUserDefaultsController;

namespace push {

class AddressStore {
public:
    virtual ~AddressStore() = default;
    virtual std::uint64_t uid() const = 0;
    virtual void setDefaultConAddress(const std::string& address) = 0;
    virtual std::string defaultConAddress() const = 0;
    virtual void setBackupUdpReportAddress(const std::string& address) = 0;
    virtual std::string backupUdpReportAddress() const = 0;
    virtual void setBackupUserReportAddress(const std::string& address) = 0;
    virtual std::string backupUserReportAddress() const = 0;
    virtual void setBackupHttpReportAddress(const std::string& address) = 0;
    virtual std::string backupHttpReportAddress() const = 0;
};

class MemoryAddressStore : public AddressStore {
public:
    std::uint64_t uid() const override;
    void setUid(std::uint64_t uid);
    void setDefaultConAddress(const std::string& address) override;
    std::string defaultConAddress() const override;
    void setBackupUdpReportAddress(const std::string& address) override;
    std::string backupUdpReportAddress() const override;
    void setBackupUserReportAddress(const std::string& address) override;
    std::string backupUserReportAddress() const override;
    void setBackupHttpReportAddress(const std::string& address) override;
    std::string backupHttpReportAddress() const override;

private:
    mutable std::mutex mutex_;
    std::uint64_t uid_ = 0;
    std::string defaultCon_, udpReport_, userReport_, httpReport_;
};

// The persisted identity as the address store.
class UserDefaultsAddressStore : public AddressStore {
public:
    explicit UserDefaultsAddressStore(std::shared_ptr<PUSHUserDefaultsController> defaults);
    std::uint64_t uid() const override;
    void setDefaultConAddress(const std::string& address) override;
    std::string defaultConAddress() const override;
    void setBackupUdpReportAddress(const std::string& address) override;
    std::string backupUdpReportAddress() const override;
    void setBackupUserReportAddress(const std::string& address) override;
    std::string backupUserReportAddress() const override;
    void setBackupHttpReportAddress(const std::string& address) override;
    std::string backupHttpReportAddress() const override;

private:
    std::shared_ptr<PUSHUserDefaultsController> defaults_;
};

} // namespace push
