// NSURL: a URL as a value. URLWithString accepts only strings that are URI references by
// RFC 3986 (no spaces, no characters outside ASCII, "%" only before two hex digits, "[" and "]"
// only around an IP literal, at most one "#", a port of at most 65535) and gives nullopt for
// anything else. A URL made relative to a base keeps both; its parts are those of the URL
// resolved against the base by RFC 3986 section 5.2.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// The five parts of a URI reference (RFC 3986 section 3), raw (still percent-encoded).
struct URLParts {
    std::optional<std::string> scheme;
    std::optional<std::string> authority; // without "//"
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;

    std::string recompose() const;
    bool operator==(const URLParts&) const = default;
};

// nullopt unless `text` is a URI reference.
std::optional<URLParts> parseURLReference(std::string_view text);
// RFC 3986 section 5.2.2 (strict: a reference with a scheme stands on its own).
URLParts resolveURLReference(const URLParts& base, const URLParts& reference);
std::string removeDotSegments(std::string_view path);
// Makes the path read back as itself once the parts are written out: with no authority, "/."
// goes before a path that starts with "//" (else it would read as an authority), and with no
// scheme either, "./" before a first segment holding ":" (else it would read as a scheme).
void keepPathUnambiguous(URLParts& parts);

} // namespace foundation

class NSURL {
public:
    static std::optional<NSURL> URLWithString(std::string_view string);
    static std::optional<NSURL> URLWithString(std::string_view string, const NSURL& baseURL);
    static std::optional<NSURL> URLWithString(std::string_view string, const std::optional<NSURL>& baseURL);
    // "file://" and the absolute path (relative paths are taken from the working directory),
    // percent-encoded; a directory's URL ends with "/". The one-argument form asks the file
    // system whether the path is a directory.
    static NSURL fileURLWithPath(std::string_view path);
    static NSURL fileURLWithPath(std::string_view path, bool isDirectory);

    std::string absoluteString() const;
    const std::string& relativeString() const { return relative_; }
    std::optional<NSURL> baseURL() const;
    NSURL absoluteURL() const;

    // Parts of the absolute URL. Absent parts are empty (scheme, host, user, password) or nullopt.
    std::string scheme() const;
    // Percent-decoded; an IP literal without its brackets.
    std::string host() const;
    std::optional<int> port() const;
    std::string user() const;
    std::string password() const;
    // Percent-decoded, without a trailing "/" (the root stays "/"); empty when the bytes are not
    // UTF-8 after decoding.
    std::string path() const;
    // Raw (percent-encoded) path, query and fragment.
    const std::string& percentEncodedPath() const { return absolute_.path; }
    const std::optional<std::string>& query() const { return absolute_.query; }
    const std::optional<std::string>& fragment() const { return absolute_.fragment; }
    std::string lastPathComponent() const;
    std::string pathExtension() const;
    std::vector<std::string> pathComponents() const;
    bool isFileURL() const;

    // The component is percent-encoded for a path ("/" kept) and joined with one "/";
    // an empty component just adds a trailing "/". Query and fragment stay.
    NSURL URLByAppendingPathComponent(std::string_view component) const;
    NSURL URLByAppendingPathComponent(std::string_view component, bool isDirectory) const;

    // The relative string, followed by " -- " and the base's description when there is a base.
    std::string description() const;
    // Equal relative strings and equal bases.
    bool operator==(const NSURL& other) const;
    std::size_t hash() const;

private:
    NSURL() = default;
    static NSURL fromParts(const foundation::URLParts& parts);

    std::string relative_;
    std::shared_ptr<const NSURL> base_;
    foundation::URLParts absolute_;
};
