// Shared pieces of this folder's tests: a fresh app home with the push file caches started in
// it, and small helpers to look at the files they write.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/persistence/FileIO.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "testing/TempHome.h"

namespace storage_tests {

class HomeTest : public ::testing::Test {
protected:
    void SetUp() override { PUSHFileCacheController::resetSharedInstancesForTesting(); }
    void TearDown() override { PUSHFileCacheController::resetSharedInstancesForTesting(); }

    // Both shared caches, started as the client starts them (document first).
    void startCaches()
    {
        PUSHFileCacheController::startShareInstance("PUSHDocument", PUSHFileCacheTypeDocument, true);
        PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
    }
    // As after a restart of the process: the shared caches are read again from disk.
    void restartCaches() { PUSHFileCacheController::resetSharedInstancesForTesting(), startCaches(); }
    std::shared_ptr<PUSHFileCacheController> plain() { return PUSHFileCacheController::shareInstanceWithType(0); }
    std::shared_ptr<PUSHFileCacheController> document() { return PUSHFileCacheController::shareInstanceWithType(1); }

    std::string plainPath() const { return home.pathFor("Library/Caches/Push/PUSHJSON"); }
    std::string documentPath() const { return home.pathFor("Documents/PushDocument/PUSHDocument"); }
    Bytes fileBytes(const std::string& path) const { return persistence::dataWithContentsOfFile(path).value_or(Bytes()); }
    static bool containsText(const Bytes& bytes, const std::string& text) { return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end(); }

    testing_support::TempHome home;
};

} // namespace storage_tests
