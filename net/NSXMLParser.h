// NSXMLParser: an event-driven XML parser over expat. parse() reads the whole document and
// tells the delegate about elements, text and the first error, on the calling thread.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

inline constexpr const char* NSXMLParserErrorDomain = "NSXMLParserErrorDomain";

class NSXMLParser;

class NSXMLParserDelegate {
public:
    virtual ~NSXMLParserDelegate() = default;
    virtual void parserDidStartDocument(NSXMLParser&) { }
    virtual void parserDidEndDocument(NSXMLParser&) { }
    // `attributes`: a dictionary of strings.
    virtual void parserDidStartElement(NSXMLParser&, const std::string& elementName, const Value& attributes)
    {
        (void)elementName, (void)attributes;
    }
    virtual void parserDidEndElement(NSXMLParser&, const std::string& elementName) { (void)elementName; }
    virtual void parserFoundCharacters(NSXMLParser&, const std::string& characters) { (void)characters; }
    virtual void parserParseErrorOccurred(NSXMLParser&, const NSErrorRef& error) { (void)error; }
};

class NSXMLParser final : public NSObject {
public:
    static std::shared_ptr<NSXMLParser> initWithData(Bytes data);
    explicit NSXMLParser(Bytes data) : data_(std::move(data)) { }
    std::string className() const override { return "NSXMLParser"; }

    void setDelegate(const std::shared_ptr<NSXMLParserDelegate>& delegate) { delegate_ = delegate; }
    std::shared_ptr<NSXMLParserDelegate> delegate() const { return delegate_.lock(); }
    // True when the document was well formed and parsing was not aborted.
    bool parse();
    // Stops parsing; parse() then returns false.
    void abortParsing() { aborted_ = true; }
    const NSErrorRef& parserError() const { return error_; }
    const Bytes& data() const { return data_; }

private:
    Bytes data_;
    std::weak_ptr<NSXMLParserDelegate> delegate_;
    NSErrorRef error_;
    bool aborted_ = false;
};
