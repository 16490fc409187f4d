// Looks up the HTTP stack's texts in the "NKNetworking" string table.
#include "net/NKLocalizedString.h"

#include "platform/persistence/NSBundle.h"

std::string net::localizedString(std::string_view key) { return NSLocalizedStringFromTable(key, "NKNetworking"); }
