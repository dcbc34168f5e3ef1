#pragma once
// What the control thread and the inactivity countdown need from the user interface. The main
// window implements it; every call may come from a background thread and returns only when
// the user interface has done it (a box or notice: when it has been closed). Texts are UTF-8.
namespace orvane::net {

class ControlUi {
public:
    virtual ~ControlUi() = default;
    // A modal message box with a warning icon, owned by the main window.
    virtual void showWarningBox(const char* text, const char* caption) = 0;
    // Opens a web address in the user's browser.
    virtual void openUrl(const char* url) = 0;
    // The self-closing notice window titled "Info du Superviseur" (at most 10 s).
    virtual void showSupervisorNotice(const char* text) = 0;
    // Destroys the main window, which ends the program.
    virtual void destroyMainWindow() = 0;
};

// The supervisor's texts (UTF-8).
inline constexpr char kSupervisorCaption[] = "Info du Superviseur";
inline constexpr char kUpdateRequiredText[] = "Votre application doit \xC3\xAAtre mise \xC3\xA0 jour";
inline constexpr char kSupervisorClosingText[] =
    "Le superviseur va fermer\nautomatiquement votre application\ndans 20 secondes";
inline constexpr char kInactivityEndedText[] =
    "Le d\xC3\xA9lais d'utilisation sans activit\xC3\xA9 est termin\xC3\xA9\n"
    "Le superviseur va maintenant fermer\nautomatiquement votre application\ndans 20 secondes";

}  // namespace orvane::net
