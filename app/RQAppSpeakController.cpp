// The disclaimer and video web screen's title handling.
#include "app/RQAppSpeakController.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"

void RQAppSpeakController::showTitle()
{
    myTitle()->setText(NSString::stringWithFormat("%@", titleName()));
    NSLog("%@", titleName());
}
