// The simulated on-screen keyboard and the traits of text inputs.
//
// Order of notifications (all on the default centre, object null for keyboard ones):
//   text field becomes first responder: field's delegate didBegin, "UITextFieldTextDidBeginEditingNotification",
//       "UIKeyboardWillShowNotification", then after the duration "UIKeyboardDidShowNotification";
//   text view becomes first responder: "UIKeyboardWillShowNotification", view's delegate didBegin,
//       "UITextViewTextDidBeginEditingNotification", then after the duration "UIKeyboardDidShowNotification";
//   an input resigns: its delegate didEnd, its "...TextDidEndEditingNotification", then
//       "UIKeyboardWillHideNotification" and after the duration "UIKeyboardDidHideNotification";
//   moving from one input to another: the old one's end-editing notifications, then the new one's
//       begin sequence above (the keyboard does not hide in between);
//   reloadInputViews on the first responder while shown: "UIKeyboardWillShowNotification" again.
// User info: "UIKeyboardFrameBeginUserInfoKey" and "UIKeyboardFrameEndUserInfoKey" (NSValue rects in
// screen space), "UIKeyboardAnimationDurationUserInfoKey" (double), "UIKeyboardAnimationCurveUserInfoKey"
// (integer 7). The keyboard is 216 points tall plus the input accessory view's height. Before
// system 8 it lies along the screen edge that the status bar's orientation makes the bottom.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSString.h"
#include "platform/graphics/Geometry.h"

class UIResponder;
class UIView;

inline const std::string UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline const std::string UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline const std::string UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline const std::string UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline const std::string UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline const std::string UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline const std::string UIKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
inline const std::string UIKeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";

enum UIReturnKeyType : int {
    UIReturnKeyDefault = 0,
    UIReturnKeyGo = 1,
    UIReturnKeyGoogle = 2,
    UIReturnKeyJoin = 3,
    UIReturnKeyNext = 4,
    UIReturnKeyRoute = 5,
    UIReturnKeySearch = 6,
    UIReturnKeySend = 7,
    UIReturnKeyYahoo = 8,
    UIReturnKeyDone = 9,
    UIReturnKeyEmergencyCall = 10,
};
enum UIKeyboardType : int {
    UIKeyboardTypeDefault = 0,
    UIKeyboardTypeASCIICapable = 1,
    UIKeyboardTypeNumbersAndPunctuation = 2,
    UIKeyboardTypeURL = 3,
    UIKeyboardTypeNumberPad = 4,
    UIKeyboardTypePhonePad = 5,
    UIKeyboardTypeNamePhonePad = 6,
    UIKeyboardTypeEmailAddress = 7,
    UIKeyboardTypeDecimalPad = 8,
};
enum UIKeyboardAppearance : int { UIKeyboardAppearanceDefault = 0, UIKeyboardAppearanceDark = 1, UIKeyboardAppearanceLight = 2 };
enum UITextAutocorrectionType : int { UITextAutocorrectionTypeDefault = 0, UITextAutocorrectionTypeNo = 1, UITextAutocorrectionTypeYes = 2 };
enum UITextAutocapitalizationType : int {
    UITextAutocapitalizationTypeNone = 0,
    UITextAutocapitalizationTypeWords = 1,
    UITextAutocapitalizationTypeSentences = 2,
    UITextAutocapitalizationTypeAllCharacters = 3,
};

namespace uikit {

// What text fields and text views share: keyboard traits and the typing interface the host
// and tests drive.
class TextInputTraits {
public:
    virtual ~TextInputTraits() = default;
    UIReturnKeyType returnKeyType() const { return returnKey_; }
    void setReturnKeyType(UIReturnKeyType type) { returnKey_ = type; }
    UIKeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(UIKeyboardType type) { keyboardType_ = type; }
    UIKeyboardAppearance keyboardAppearance() const { return appearance_; }
    void setKeyboardAppearance(UIKeyboardAppearance appearance) { appearance_ = appearance; }
    UITextAutocorrectionType autocorrectionType() const { return autocorrection_; }
    void setAutocorrectionType(UITextAutocorrectionType type) { autocorrection_ = type; }
    UITextAutocapitalizationType autocapitalizationType() const { return autocapitalization_; }
    void setAutocapitalizationType(UITextAutocapitalizationType type) { autocapitalization_ = type; }
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool secure) { secure_ = secure; }
    bool enablesReturnKeyAutomatically() const { return returnAuto_; }
    void setEnablesReturnKeyAutomatically(bool on) { returnAuto_ = on; }

    // Typing, one keystroke at a time, while the input edits.
    virtual void insertText(const std::string& text) = 0;
    virtual void deleteBackward() = 0;
    virtual void pressReturnKey() = 0;
    virtual bool hasText() const = 0;

private:
    UIReturnKeyType returnKey_ = UIReturnKeyDefault;
    UIKeyboardType keyboardType_ = UIKeyboardTypeDefault;
    UIKeyboardAppearance appearance_ = UIKeyboardAppearanceDefault;
    UITextAutocorrectionType autocorrection_ = UITextAutocorrectionTypeDefault;
    UITextAutocapitalizationType autocapitalization_ = UITextAutocapitalizationTypeSentences;
    bool secure_ = false;
    bool returnAuto_ = false;
};

// Types `text` into the key window's first responder key by key ("\n" presses return, "\b"
// deletes backwards). False when the first responder takes no text.
bool typeIntoFirstResponder(const std::string& text);

class Keyboard {
public:
    static Keyboard* shared();

    bool isVisible() const { return visible_; }
    // The keyboard's frame in screen space (below the screen when hidden).
    CGRect frame() const;
    double animationDuration() const { return duration_; }
    void setAnimationDuration(double seconds) { duration_ = seconds; }
    double baseHeight() const { return height_; }
    void setBaseHeight(double height) { height_ = height; }

    // Called by text inputs.
    void show(const UIResponder& input);
    void hide();
    void reloadInputViews(const UIResponder& input);
    // Hides at once without notifications (for test set-up).
    void reset();

private:
    void post(const std::string& name, CGRect begin, CGRect end);
    CGRect frameFor(double height, bool shown) const;
    bool visible_ = false;
    double shownHeight_ = 216;
    double height_ = 216;
    double duration_ = 0.25;
    unsigned generation_ = 0;
};

} // namespace uikit
