// The system-log and console loggers are made only by their sharedInstance and init: no
// constructor is open to anyone else, for a copy or for arguments of any type.
#include <type_traits>

#include "push/Utilities/PUSHASLLogger.h"
#include "push/Utilities/PUSHTTYLogger.h"

namespace {

// Converts to whatever a constructor asks for, even a type the caller may not name; but not
// to a logger, which would only ask whether a logger can be made from a logger.
struct AnyArgument {
    template <typename T>
        requires(!std::is_base_of_v<PUSHAbstractLogger, std::remove_cvref_t<T>>)
    operator T() const;
};

template <typename Logger>
constexpr bool madeOnlyByItself = !std::is_default_constructible_v<Logger> && !std::is_copy_constructible_v<Logger>
    && !std::is_constructible_v<Logger, AnyArgument> && !std::is_constructible_v<Logger, AnyArgument, AnyArgument>;

static_assert(madeOnlyByItself<PUSHASLLogger>);
static_assert(madeOnlyByItself<PUSHTTYLogger>);
static_assert(!std::is_constructible_v<PUSHTTYLogger, PUSHConsoleMode>);

} // namespace
