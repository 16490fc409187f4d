// Descriptions of the messenger's responses, for the app's log.
#include "services/messenger/MGApiObject.h"

#include "platform/foundation/Format.h"

std::string BaseResp::description() const
{
    return NSString::stringWithFormat("<%@: errCode=%d errStr=%@ type=%d>", className(), errCode, errStr, type);
}
