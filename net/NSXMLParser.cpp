// NSXMLParser over expat: element, attribute and text events to the delegate.
#include "net/NSXMLParser.h"

#include <algorithm>

#include <expat.h>

namespace {

struct ParseContext {
    NSXMLParser* parser;
    std::shared_ptr<NSXMLParserDelegate> delegate;
    XML_Parser expat;
    bool* aborted;
};

void startElement(void* data, const XML_Char* name, const XML_Char** attributes)
{
    auto& context = *static_cast<ParseContext*>(data);
    Value dictionary = Value::dictionary();
    for (int i = 0; attributes[i] && attributes[i + 1]; i += 2)
        dictionary.set(attributes[i], Value(attributes[i + 1]));
    context.delegate->parserDidStartElement(*context.parser, name, dictionary);
    if (*context.aborted)
        XML_StopParser(context.expat, XML_FALSE);
}

void endElement(void* data, const XML_Char* name)
{
    auto& context = *static_cast<ParseContext*>(data);
    context.delegate->parserDidEndElement(*context.parser, name);
    if (*context.aborted)
        XML_StopParser(context.expat, XML_FALSE);
}

void characters(void* data, const XML_Char* text, int length)
{
    auto& context = *static_cast<ParseContext*>(data);
    context.delegate->parserFoundCharacters(*context.parser, std::string(text, static_cast<std::size_t>(length)));
    if (*context.aborted)
        XML_StopParser(context.expat, XML_FALSE);
}

} // namespace

std::shared_ptr<NSXMLParser> NSXMLParser::initWithData(Bytes data) { return std::make_shared<NSXMLParser>(std::move(data)); }

bool NSXMLParser::parse()
{
    auto delegate = delegate_.lock();
    if (!delegate)
        delegate = std::make_shared<NSXMLParserDelegate>();
    XML_Parser expat = XML_ParserCreate("UTF-8");
    if (!expat)
        return false;
    ParseContext context { this, delegate, expat, &aborted_ };
    XML_SetUserData(expat, &context);
    XML_SetElementHandler(expat, startElement, endElement);
    XML_SetCharacterDataHandler(expat, characters);
    delegate->parserDidStartDocument(*this);
    // In slices, so that a body of any size fits expat's int lengths.
    constexpr std::size_t kSlice = 1 << 20;
    XML_Status status = XML_STATUS_OK;
    std::size_t offset = 0;
    do {
        std::size_t length = std::min(kSlice, data_.size() - offset);
        bool last = offset + length == data_.size();
        status = XML_Parse(expat, reinterpret_cast<const char*>(data_.data() + offset), static_cast<int>(length),
            last ? XML_TRUE : XML_FALSE);
        offset += length;
    } while (status == XML_STATUS_OK && offset < data_.size());
    bool ok = status == XML_STATUS_OK && !aborted_;
    if (status == XML_STATUS_ERROR && !aborted_) {
        XML_Error code = XML_GetErrorCode(expat);
        error_ = NSError::errorWithDomain(NSXMLParserErrorDomain, static_cast<std::int64_t>(code),
            Value::dictionary({ { NSLocalizedDescriptionKey, Value(XML_ErrorString(code)) },
                { "NSXMLParserErrorLineNumber", Value(static_cast<std::int64_t>(XML_GetCurrentLineNumber(expat))) },
                { "NSXMLParserErrorColumn", Value(static_cast<std::int64_t>(XML_GetCurrentColumnNumber(expat))) } }));
        delegate->parserParseErrorOccurred(*this, error_);
    }
    XML_ParserFree(expat);
    if (ok)
        delegate->parserDidEndDocument(*this);
    return ok;
}
