// Controls for tests and the host: the user's answer to the access prompt, and failures the
// store would give on a full disk.
#pragma once

#include "platform/addressbook/ABAddressBook.h"

namespace addressbook {

enum class AccessPromptAnswer {
    Grant, // the default: a headless device says yes at once
    Deny,
    Wait, // the prompt stays up until answerAccessPrompt()
};

// Sets the recorded decision directly (kABAuthorizationStatusNotDetermined asks again).
void setAuthorizationStatus(ABAuthorizationStatus status);
void setAccessPromptAnswer(AccessPromptAnswer answer);
// True while a request waits for the user.
bool accessPromptIsShowing();
// The user answers the waiting prompt, from any thread; false when none is showing.
bool answerAccessPrompt(bool granted);

enum class StoreOperation { Add, Save };
// The next `count` calls of the operation fail with a store error.
void failNext(StoreOperation operation, int count = 1);

// Back to the defaults: not determined, prompt answered with Grant, no failures.
void resetTestSeams();

// Used by the address book: consumes one injected failure of the operation.
bool takeFailure(StoreOperation operation);

}
