// The user's permission to use the address book, the access prompt, and the injected store
// failures (see ABAddressBook.h and ABTestSeams.h).
#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"

#include <thread>

namespace {

struct AuthorizationState {
    std::mutex mutex;
    ABAuthorizationStatus status = kABAuthorizationStatusNotDetermined;
    addressbook::AccessPromptAnswer answer = addressbook::AccessPromptAnswer::Grant;
    std::vector<ABAddressBookRequestAccessCompletionHandler> waiting;
    int failingAdds = 0;
    int failingSaves = 0;
    bool systemAsks = true; // systems before 6.0 have no access permission
};

AuthorizationState& state()
{
    static AuthorizationState s;
    return s;
}

NSErrorRef deniedError()
{
    return NSError::errorWithDomain(ABAddressBookErrorDomain, kABOperationNotPermittedByUserError,
        Value::dictionary({ { NSLocalizedDescriptionKey, "The user has not allowed access to the address book." } }));
}

// Completions run on their own thread, as the device answers from another process.
void deliver(std::vector<ABAddressBookRequestAccessCompletionHandler> completions, bool granted)
{
    std::thread([completions = std::move(completions), granted] {
        for (const auto& completion : completions) {
            if (completion)
                completion(granted, granted ? nullptr : deniedError());
        }
    }).detach();
}

}

ABAuthorizationStatus ABAddressBookGetAuthorizationStatus()
{
    std::lock_guard lock(state().mutex);
    return state().systemAsks ? state().status : kABAuthorizationStatusAuthorized;
}

void ABAddressBookRequestAccessWithCompletion(const ABAddressBookRef&,
    ABAddressBookRequestAccessCompletionHandler completion)
{
    auto& s = state();
    std::unique_lock lock(s.mutex);
    if (s.systemAsks && s.status == kABAuthorizationStatusNotDetermined) {
        if (s.answer == addressbook::AccessPromptAnswer::Wait) {
            s.waiting.push_back(std::move(completion));
            return;
        }
        s.status = s.answer == addressbook::AccessPromptAnswer::Grant ? kABAuthorizationStatusAuthorized
                                                                      : kABAuthorizationStatusDenied;
    }
    bool granted = !s.systemAsks || s.status == kABAuthorizationStatusAuthorized;
    lock.unlock();
    deliver({ std::move(completion) }, granted);
}

namespace addressbook {

void setAuthorizationStatus(ABAuthorizationStatus status)
{
    std::lock_guard lock(state().mutex);
    state().status = status;
}

void setSystemAsksForAccess(bool asks)
{
    std::lock_guard lock(state().mutex);
    state().systemAsks = asks;
}

void setAccessPromptAnswer(AccessPromptAnswer answer)
{
    std::lock_guard lock(state().mutex);
    state().answer = answer;
}

bool accessPromptIsShowing()
{
    std::lock_guard lock(state().mutex);
    return !state().waiting.empty();
}

bool answerAccessPrompt(bool granted)
{
    auto& s = state();
    std::unique_lock lock(s.mutex);
    if (s.waiting.empty())
        return false;
    s.status = granted ? kABAuthorizationStatusAuthorized : kABAuthorizationStatusDenied;
    auto completions = std::move(s.waiting);
    s.waiting.clear();
    lock.unlock();
    deliver(std::move(completions), granted);
    return true;
}

void failNext(StoreOperation operation, int count)
{
    std::lock_guard lock(state().mutex);
    (operation == StoreOperation::Add ? state().failingAdds : state().failingSaves) += count;
}

bool takeFailure(StoreOperation operation)
{
    std::lock_guard lock(state().mutex);
    int& left = operation == StoreOperation::Add ? state().failingAdds : state().failingSaves;
    if (left <= 0)
        return false;
    --left;
    return true;
}

void resetTestSeams()
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.status = kABAuthorizationStatusNotDetermined;
    s.answer = AccessPromptAnswer::Grant;
    s.waiting.clear();
    s.failingAdds = 0;
    s.failingSaves = 0;
}

}
