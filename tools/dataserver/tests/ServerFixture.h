// A data server started in-process on ephemeral ports with a private in-memory world, and small
// client helpers that post forms and read the reply envelope.
#pragma once

#include "tools/dataserver/DataServer.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <mutex>
#include <string>
#include <vector>

namespace dataserver::test {

using nlohmann::json;

struct Answer {
    int httpStatus = 0; // 0 when the connection failed
    std::string contentType;
    std::string body;
    json envelope; // discarded (null) when the body is not JSON

    bool connected() const { return httpStatus != 0; }
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DataServer::Options options;
        options.log = [this](const std::string& line) {
            std::lock_guard lock(linesMutex_);
            lines_.push_back(line);
        };
        server_ = std::make_unique<DataServer>(options);
        server_->start();
    }

    void TearDown() override { server_->stop(); }

    DataServer& server() { return *server_; }

    std::vector<std::string> logLines()
    {
        std::lock_guard lock(linesMutex_);
        return lines_;
    }

    static Answer answerOf(const httplib::Result& result)
    {
        Answer a;
        if (!result)
            return a;
        a.httpStatus = result->status;
        a.contentType = result->get_header_value("Content-Type");
        a.body = result->body;
        a.envelope = json::parse(a.body, nullptr, false);
        if (a.envelope.is_discarded())
            a.envelope = nullptr;
        return a;
    }

    httplib::Client dataClient() { return httplib::Client("127.0.0.1", server_->dataPort()); }
    httplib::Client accountClient() { return httplib::Client("127.0.0.1", server_->accountPort()); }

    // Requests to a path below the data root (a form POST, a GET, a multipart POST), and to the control.
    Answer post(const std::string& path, const httplib::Params& params = {}) { return send("/brelvoxin/" + path, params); }
    Answer get(const std::string& pathAndQuery) { return answerOf(dataClient().Get("/brelvoxin/" + pathAndQuery)); }
    Answer postMultipart(const std::string& path, const httplib::MultipartFormDataItems& items)
    {
        return answerOf(dataClient().Post("/brelvoxin/" + path, items));
    }
    Answer control(const std::string& action, const httplib::Params& params = {}) { return send("/__control/" + action, params); }

    // The reply's "info" after checking that it is a status-1 envelope.
    json info(const Answer& a)
    {
        EXPECT_EQ(a.httpStatus, 200) << a.body;
        EXPECT_EQ(a.contentType, "application/json");
        EXPECT_EQ(a.envelope.value("status", -1), 1) << a.body;
        return a.envelope.is_object() ? a.envelope.value("info", json()) : json();
    }

    // The refusal message after checking that it is a status-0 envelope.
    std::string refusalOf(const Answer& a)
    {
        EXPECT_EQ(a.httpStatus, 200) << a.body;
        EXPECT_EQ(a.envelope.value("status", -1), 0) << a.body;
        return a.envelope.is_object() ? a.envelope.value("msg", std::string()) : std::string();
    }

private:
    Answer send(const std::string& path, const httplib::Params& params) { return answerOf(dataClient().Post(path, params)); }

    std::unique_ptr<DataServer> server_;
    std::mutex linesMutex_;
    std::vector<std::string> lines_;
};

// True when the bytes are a PNG whose chunks carry correct CRCs and whose IHDR has this size;
// `rgb` receives the pixels when the lines are unfiltered RGB, as the server writes them.
bool isValidPng(const std::string& bytes, int* width = nullptr, int* height = nullptr, std::string* rgb = nullptr);

} // namespace dataserver::test
