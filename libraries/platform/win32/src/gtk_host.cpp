// Dialogs and message boxes over GTK 3. GTK runs on a thread of its own, started on first
// use; every widget is made, changed and destroyed there. Dialog procedures run on the
// thread that called DialogBoxParamA: GTK signals become messages in that thread's queue.
#include "platform/win32.h"
#include "window_registry.h"

#include <gtk/gtk.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

struct PlatformDialogState {
    DLGPROC procedure = nullptr;
    std::atomic<bool> ended{false};
    INT_PTR result = 0;
    std::vector<HWND> controls;
    int defaultId = IDOK;
};

namespace {

DWORD ThisThread() {
    return static_cast<DWORD>(::syscall(SYS_gettid));
}

// ---- the GTK thread ---------------------------------------------------------------------------

struct GtkHost {
    std::mutex lock;
    std::condition_variable ready;
    bool started = false;
    bool usable = false;
    DWORD thread = 0;
    GMainContext* context = nullptr;
};

GtkHost& Host() {
    static auto* host = new GtkHost;
    return *host;
}

bool StartGtk() {
    GtkHost& host = Host();
    std::unique_lock<std::mutex> guard(host.lock);
    if (!host.started) {
        host.started = true;
        // No accessibility bus here: without this GTK waits for one at start.
        ::setenv("NO_AT_BRIDGE", "1", 0);
        std::thread([] {
            GtkHost& h = Host();
            bool ok = gtk_init_check(nullptr, nullptr);
            {
                std::lock_guard<std::mutex> g(h.lock);
                h.usable = ok;
                h.thread = ThisThread();
                h.context = g_main_context_default();
                h.ready.notify_all();
            }
            if (!ok)
                return;
            GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
            g_main_loop_run(loop);
        }).detach();
        host.ready.wait(guard, [&] { return host.thread != 0; });
    }
    return host.usable;
}

struct Call {
    std::function<void()> work;
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
};

gboolean RunCall(gpointer data) {
    auto* call = static_cast<Call*>(data);
    call->work();
    std::lock_guard<std::mutex> guard(call->lock);
    call->finished = true;
    call->done.notify_all();
    return G_SOURCE_REMOVE;
}

// Runs `work` on the GTK thread and waits for it.
void OnGtk(std::function<void()> work) {
    GtkHost& host = Host();
    if (ThisThread() == host.thread) {
        work();
        return;
    }
    Call call;
    call.work = std::move(work);
    g_main_context_invoke(host.context, RunCall, &call);
    std::unique_lock<std::mutex> guard(call.lock);
    call.done.wait(guard, [&] { return call.finished; });
}

// Runs `work` on the GTK thread later, without waiting.
void OnGtkLater(std::function<void()> work) {
    auto* job = new std::function<void()>(std::move(work));
    g_main_context_invoke_full(
        Host().context, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        job, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

GtkWidget* WidgetOf(HWND handle) {
    auto window = PlatformFindWindow(handle);
    return window ? static_cast<GtkWidget*>(window->widget) : nullptr;
}

// ---- dialog templates ------------------------------------------------------------------------

std::mutex templatesLock;
std::map<int, const PlatformDialogTemplate*>& Templates() {
    static auto* templates = new std::map<int, const PlatformDialogTemplate*>;
    return *templates;
}

// The start dialog.
const PlatformDialogControl startControls[] = {
    {-1, "static", "quiet zendra", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 17, 17, 320, 8},
    {-1, "static", "by Tarnwick.", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 17, 33, 320, 8},
    {1001, "button", "Fullscreen", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_3STATE, 18, 69, 85, 8},
    {1003, "button", "Loop", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 18, 79, 85, 8},
    {1004, "button", "Sound", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 18, 89, 85, 8},
    {IDOK, "button", "Run", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 120, 68, 93, 13},
    {IDCANCEL, "button", "Exit", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_MULTILINE | BS_PUSHBUTTON, 120, 88, 93, 13},
};
const PlatformDialogTemplate startDialog = {
    static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
    0,
    320,
    256,
    230,
    132,
    "Cobalt",
    8,
    "MS Sans Serif",
    startControls,
    static_cast<int>(sizeof startControls / sizeof startControls[0]),
};

// ---- controls -----------------------------------------------------------------------------------

struct ControlData {
    HWND dialog;
    HWND control;
    int id;
    DWORD style;
    bool suppress = false;  // set while the state is changed programmatically
    bool pushed = false;
};

DWORD ButtonType(DWORD style) {
    return style & BS_TYPEMASK;
}
bool IsCheck(DWORD style) {
    DWORD t = ButtonType(style);
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE || t == BS_RADIOBUTTON ||
           t == BS_AUTORADIOBUTTON;
}
bool IsAuto(DWORD style) {
    DWORD t = ButtonType(style);
    return t == BS_AUTOCHECKBOX || t == BS_AUTO3STATE || t == BS_AUTORADIOBUTTON;
}
bool IsPush(DWORD style) {
    DWORD t = ButtonType(style);
    return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON;
}

void PostCommand(ControlData* data, WORD notification) {
    auto dialog = PlatformFindWindow(data->dialog);
    if (!dialog)
        return;
    MSG m{};
    m.hwnd = data->dialog;
    m.message = WM_COMMAND;
    m.wParam = MAKEWPARAM(data->id, notification);
    m.lParam = reinterpret_cast<LPARAM>(data->control);
    m.time = GetTickCount();
    PlatformQueueMessage(dialog->threadId, m);
}

void PostToDialog(HWND dialogHandle, UINT message, WPARAM wParam, LPARAM lParam) {
    auto dialog = PlatformFindWindow(dialogHandle);
    if (!dialog)
        return;
    MSG m{};
    m.hwnd = dialogHandle;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    PlatformQueueMessage(dialog->threadId, m);
}

void OnClicked(GtkButton* button, gpointer user) {
    auto* data = static_cast<ControlData*>(user);
    if (data->suppress)
        return;
    if (IsCheck(data->style) && !IsAuto(data->style)) {
        // A plain check box changes only when its owner says so: undo GTK's toggle.
        data->suppress = true;
        GtkToggleButton* toggle = GTK_TOGGLE_BUTTON(button);
        gtk_toggle_button_set_active(toggle, !gtk_toggle_button_get_active(toggle));
        data->suppress = false;
    }
    PostCommand(data, BN_CLICKED);
}

UINT CheckState(GtkWidget* widget) {
    if (!GTK_IS_TOGGLE_BUTTON(widget))
        return BST_UNCHECKED;
    GtkToggleButton* toggle = GTK_TOGGLE_BUTTON(widget);
    if (gtk_toggle_button_get_inconsistent(toggle))
        return BST_INDETERMINATE;
    return gtk_toggle_button_get_active(toggle) ? BST_CHECKED : BST_UNCHECKED;
}

void SetCheckState(GtkWidget* widget, UINT state) {
    if (!GTK_IS_TOGGLE_BUTTON(widget))
        return;
    auto* data = static_cast<ControlData*>(g_object_get_data(G_OBJECT(widget), "platform-control"));
    if (data)
        data->suppress = true;
    GtkToggleButton* toggle = GTK_TOGGLE_BUTTON(widget);
    gtk_toggle_button_set_inconsistent(toggle, state == BST_INDETERMINATE);
    gtk_toggle_button_set_active(toggle, state == BST_CHECKED);
    if (data)
        data->suppress = false;
}

// ---- dialog windows -------------------------------------------------------------------------------

struct DialogData {
    HWND dialog;
    int defaultId;
};

gboolean OnDialogKey(GtkWidget* window, GdkEventKey* event, gpointer user) {
    auto* data = static_cast<DialogData*>(user);
    switch (event->keyval) {
        case GDK_KEY_Escape: {
            HWND cancel = nullptr;
            if (auto dialog = PlatformFindWindow(data->dialog))
                for (HWND c : dialog->dialog->controls)
                    if (auto control = PlatformFindWindow(c); control && control->controlId == IDCANCEL)
                        cancel = c;
            PostToDialog(data->dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), reinterpret_cast<LPARAM>(cancel));
            return TRUE;
        }
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter: {
            // A focused push button answers Enter itself; from anywhere else it is the default button.
            int id = data->defaultId;
            HWND control = nullptr;
            GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
            if (focus) {
                auto* c = static_cast<ControlData*>(g_object_get_data(G_OBJECT(focus), "platform-control"));
                if (c && IsPush(c->style)) {
                    id = c->id;
                    control = c->control;
                }
            }
            PostToDialog(data->dialog, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(control));
            return TRUE;
        }
        default:
            return FALSE;
    }
}

gboolean OnDialogDelete(GtkWidget*, GdkEvent*, gpointer user) {
    PostToDialog(static_cast<DialogData*>(user)->dialog, WM_CLOSE, 0, 0);
    return TRUE;
}

// Dialog units to pixels from the dialog font, as the original dialog manager does.
struct Units {
    double x, y;
};

Units MeasureUnits(GtkWidget* window) {
    PangoContext* context = gtk_widget_get_pango_context(window);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    double baseX = (w / 26.0 + 1) / 2.0;
    return Units{baseX / 4.0, h / 8.0};
}

GtkCssProvider* DialogStyle(const PlatformDialogTemplate& t) {
    GtkCssProvider* css = gtk_css_provider_new();
    char rules[512];
    std::snprintf(rules, sizeof rules,
                  "* { font-family: \"%s\", sans-serif; font-size: %dpt; }"
                  " checkbutton, button { padding-top: 0; padding-bottom: 0; min-height: 0; }"
                  " check { min-width: 12px; min-height: 12px; }",
                  t.faceName ? t.faceName : "Sans", t.pointSize ? t.pointSize : 8);
    gtk_css_provider_load_from_data(css, rules, -1, nullptr);
    return css;
}

void ApplyStyle(GtkWidget* widget, GtkCssProvider* css) {
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* c = children; c; c = c->next)
            ApplyStyle(GTK_WIDGET(c->data), css);
        g_list_free(children);
    }
}

// Builds the dialog's widgets (GTK thread).
void BuildDialog(const PlatformDialogTemplate& t, const std::shared_ptr<PlatformWindow>& dialog, HWND parent) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    {
        std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
        gtk_window_set_title(GTK_WINDOW(window), dialog->title.c_str());
    }
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), FALSE);
    (void)parent;
    GtkCssProvider* css = DialogStyle(t);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    Units units = MeasureUnits(window);
    auto px = [](double v) { return static_cast<int>(v + 0.5); };
    int width = px(t.cx * units.x), height = px(t.cy * units.y);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, width, height);
    gtk_container_add(GTK_CONTAINER(window), fixed);

    auto* dialogData = new DialogData{dialog->Handle(), IDOK};
    GList* focusChain = nullptr;
    for (int i = 0; i < t.controlCount; ++i) {
        const PlatformDialogControl& c = t.controls[i];
        GtkWidget* widget = nullptr;
        bool isButton = g_ascii_strcasecmp(c.className, "button") == 0;
        if (isButton && IsCheck(c.style)) {
            widget = gtk_check_button_new_with_label(c.text);
        } else if (isButton && ButtonType(c.style) == BS_GROUPBOX) {
            widget = gtk_frame_new(c.text);
        } else if (isButton) {
            widget = gtk_button_new_with_label(c.text);
        } else {
            widget = gtk_label_new(c.text);
            DWORD align = c.style & 0x3;
            gtk_label_set_xalign(GTK_LABEL(widget), align == SS_CENTER ? 0.5f : align == SS_RIGHT ? 1.0f : 0.0f);
            gtk_label_set_yalign(GTK_LABEL(widget), 0.0f);
        }
        int x = px(c.x * units.x), y = px(c.y * units.y);
        int w = std::min(px(c.cx * units.x), std::max(1, width - x));
        int h = px(c.cy * units.y);
        gtk_widget_set_size_request(widget, w, h);
        gtk_fixed_put(GTK_FIXED(fixed), widget, x, y);
        gtk_widget_set_sensitive(widget, (c.style & WS_DISABLED) == 0);
        gtk_widget_set_can_focus(widget, isButton && (c.style & WS_TABSTOP) != 0);
        if (GTK_IS_LABEL(widget))
            gtk_label_set_ellipsize(GTK_LABEL(widget), PANGO_ELLIPSIZE_NONE);

        auto control = std::make_shared<PlatformWindow>();
        control->kind = PlatformWindowKind::Control;
        control->className = c.className;
        control->title = c.text ? c.text : "";
        control->style = c.style;
        control->parent = dialog->Handle();
        control->threadId = dialog->threadId;
        control->controlId = c.id;
        control->widget = widget;
        HWND handle = PlatformAddWindow(control);
        dialog->dialog->controls.push_back(handle);

        auto* data = new ControlData{dialog->Handle(), handle, c.id, c.style};
        g_object_set_data_full(G_OBJECT(widget), "platform-control", data,
                               [](gpointer p) { delete static_cast<ControlData*>(p); });
        if (isButton && (IsCheck(c.style) || IsPush(c.style)))
            g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), data);
        if (isButton && ButtonType(c.style) == BS_DEFPUSHBUTTON) {
            dialogData->defaultId = c.id;
            dialog->dialog->defaultId = c.id;
            gtk_widget_set_can_default(widget, TRUE);
            gtk_window_set_default(GTK_WINDOW(window), widget);
        }
        if (gtk_widget_get_can_focus(widget))
            focusChain = g_list_append(focusChain, widget);
        if (c.style & WS_VISIBLE)
            gtk_widget_show(widget);
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(fixed), focusChain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(focusChain);
    ApplyStyle(fixed, css);
    g_object_unref(css);
    gtk_widget_show(fixed);

    g_object_set_data_full(G_OBJECT(window), "platform-dialog", dialogData,
                           [](gpointer p) { delete static_cast<DialogData*>(p); });
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnDialogKey), dialogData);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDialogDelete), dialogData);
    // Without an owner the template's position counts from the screen's corner.
    gtk_window_move(GTK_WINDOW(window), px(t.x * units.x), px(t.y * units.y));
    dialog->widget = window;
}

void DestroyDialog(const std::shared_ptr<PlatformWindow>& dialog) {
    HWND handle = dialog->Handle();
    std::vector<HWND> controls = dialog->dialog->controls;
    OnGtk([&] {
        if (dialog->widget)
            gtk_widget_destroy(static_cast<GtkWidget*>(dialog->widget));
        dialog->widget = nullptr;
        for (HWND c : controls)
            if (auto control = PlatformFindWindow(c))
                control->widget = nullptr;
    });
    for (HWND c : controls)
        PlatformRemoveWindow(c);
    PlatformRemoveWindow(handle);
}

// ---- message boxes ----------------------------------------------------------------------------------

struct BoxState {
    std::mutex lock;
    std::condition_variable closed;
    bool done = false;
    int result = 0;
    int closeResult = IDOK;  // what closing the box (WM_CLOSE, close box, Escape) answers; 0: refused
    HWND handle = nullptr;
};

void FinishBox(BoxState* state, int result) {
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->done)
        return;
    state->done = true;
    state->result = result;
    state->closed.notify_all();
}

void OnBoxResponse(GtkDialog*, gint response, gpointer user) {
    auto* state = static_cast<BoxState*>(user);
    if (response == GTK_RESPONSE_DELETE_EVENT || response == GTK_RESPONSE_NONE) {
        if (state->closeResult == 0)
            return;
        FinishBox(state, state->closeResult);
        return;
    }
    FinishBox(state, response);
}

gboolean OnBoxDelete(GtkWidget*, GdkEvent*, gpointer user) {
    auto* state = static_cast<BoxState*>(user);
    if (state->closeResult != 0)
        FinishBox(state, state->closeResult);
    return TRUE;  // the box is destroyed by MessageBoxA itself
}

}  // namespace

// ---- templates ----------------------------------------------------------------------------------------

void PlatformRegisterDialog(int id, const PlatformDialogTemplate* dialogTemplate) {
    std::lock_guard<std::mutex> guard(templatesLock);
    if (dialogTemplate)
        Templates()[id] = dialogTemplate;
    else
        Templates().erase(id);
}

const PlatformDialogTemplate* PlatformFindDialog(int id) {
    std::lock_guard<std::mutex> guard(templatesLock);
    auto found = Templates().find(id);
    if (found != Templates().end())
        return found->second;
    return id == 101 ? &startDialog : nullptr;
}

// ---- dialog host --------------------------------------------------------------------------------------

LRESULT PlatformDialogDispatch(const std::shared_ptr<PlatformWindow>& window, const MSG& message) {
    if (window->kind == PlatformWindowKind::MessageBox)
        return 0;
    std::shared_ptr<PlatformWindow> dialog = window;
    if (window->kind == PlatformWindowKind::Control)
        dialog = PlatformFindWindow(window->parent);
    if (!dialog || !dialog->dialog)
        return 0;
    INT_PTR handled = dialog->dialog->procedure
                          ? dialog->dialog->procedure(dialog->Handle(), message.message, message.wParam, message.lParam)
                          : FALSE;
    if (!handled && message.message == WM_CLOSE) {
        // The default dialog behaviour: closing is the Cancel command.
        HWND cancel = GetDlgItem(dialog->Handle(), IDCANCEL);
        PostToDialog(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), reinterpret_cast<LPARAM>(cancel));
    }
    return handled;
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND parent, DLGPROC procedure, LPARAM param) {
    const PlatformDialogTemplate* t =
        IS_INTRESOURCE(templateName) ? PlatformFindDialog(static_cast<int>(reinterpret_cast<ULONG_PTR>(templateName)))
                                     : nullptr;
    if (!t) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    if (!StartGtk()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return -1;
    }
    auto dialog = std::make_shared<PlatformWindow>();
    dialog->kind = PlatformWindowKind::Dialog;
    dialog->className = "#32770";
    dialog->title = t->caption ? t->caption : "";
    dialog->style = t->style;
    dialog->exStyle = t->exStyle;
    dialog->parent = parent;
    dialog->threadId = ThisThread();
    dialog->dialog = std::make_shared<PlatformDialogState>();
    dialog->dialog->procedure = procedure;
    HWND handle = PlatformAddWindow(dialog);
    OnGtk([&] { BuildDialog(*t, dialog, parent); });

    HWND firstTabStop = nullptr;
    for (HWND c : dialog->dialog->controls)
        if (auto control = PlatformFindWindow(c); control && (control->style & WS_TABSTOP) && !firstTabStop)
            firstTabStop = c;
    INT_PTR focusDefault =
        procedure ? procedure(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), param) : TRUE;
    if (!dialog->dialog->ended) {
        OnGtk([&] {
            GtkWidget* window = static_cast<GtkWidget*>(dialog->widget);
            gtk_widget_show(window);
            gtk_window_present(GTK_WINDOW(window));
            if (focusDefault && firstTabStop)
                if (GtkWidget* focus = WidgetOf(firstTabStop))
                    gtk_widget_grab_focus(focus);
        });
    }
    // The modal loop: this thread's messages, the dialog's among them.
    while (!dialog->dialog->ended) {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            Sleep(2);
            continue;
        }
        if (message.message == WM_QUIT)
            break;  // stays queued for the caller's own loop
        PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    INT_PTR result = dialog->dialog->ended ? dialog->dialog->result : 0;
    DestroyDialog(dialog);
    return result;
}

BOOL EndDialog(HWND handle, INT_PTR result) {
    auto window = PlatformFindWindow(handle);
    if (!window || !window->dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->dialog->result = result;
    window->dialog->ended = true;
    OnGtk([&] {
        if (window->widget)
            gtk_widget_hide(static_cast<GtkWidget*>(window->widget));
    });
    return TRUE;
}

HWND GetDlgItem(HWND handle, int id) {
    auto window = PlatformFindWindow(handle);
    if (!window || !window->dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND c : window->dialog->controls)
        if (auto control = PlatformFindWindow(c); control && control->controlId == id)
            return c;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);  // as the original: no such control
    return nullptr;
}

int GetDlgCtrlID(HWND handle) {
    auto window = PlatformFindWindow(handle);
    return window && window->kind == PlatformWindowKind::Control ? window->controlId : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return BST_UNCHECKED;
    return static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

LRESULT PlatformDialogSendMessage(const std::shared_ptr<PlatformWindow>& window, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
    if (window->kind == PlatformWindowKind::Control) {
        LRESULT result = 0;
        bool click = false;
        OnGtk([&] {
            GtkWidget* widget = static_cast<GtkWidget*>(window->widget);
            if (!widget)
                return;
            auto* data = static_cast<ControlData*>(g_object_get_data(G_OBJECT(widget), "platform-control"));
            switch (message) {
                case BM_GETCHECK:
                    result = CheckState(widget);
                    break;
                case BM_SETCHECK:
                    SetCheckState(widget, static_cast<UINT>(wParam));
                    break;
                case BM_GETSTATE:
                    result = CheckState(widget) | (data && data->pushed ? BST_PUSHED : 0) |
                             (gtk_widget_has_focus(widget) ? BST_FOCUS : 0);
                    break;
                case BM_SETSTATE:
                    if (data)
                        data->pushed = wParam != 0;
                    if (wParam)
                        gtk_widget_set_state_flags(widget, GTK_STATE_FLAG_ACTIVE, FALSE);
                    else
                        gtk_widget_unset_state_flags(widget, GTK_STATE_FLAG_ACTIVE);
                    break;
                case BM_CLICK:
                    click = GTK_IS_BUTTON(widget);
                    break;
                default:
                    break;
            }
            if (click)
                gtk_button_clicked(GTK_BUTTON(widget));
        });
        if (message == WM_SETTEXT)
            return SetWindowTextA(window->Handle(), reinterpret_cast<LPCSTR>(lParam));
        if (message == WM_GETTEXT)
            return GetWindowTextA(window->Handle(), reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
        return result;
    }
    if (window->kind == PlatformWindowKind::Dialog) {
        if (window->threadId == ThisThread()) {
            MSG m{};
            m.hwnd = window->Handle();
            m.message = message;
            m.wParam = wParam;
            m.lParam = lParam;
            return PlatformDialogDispatch(window, m);
        }
        PostToDialog(window->Handle(), message, wParam, lParam);
        return 0;
    }
    // Message boxes
    if (message == WM_CLOSE)
        return PlatformDialogPostMessage(window, message, wParam, lParam);
    if (message == WM_SETTEXT)
        return SetWindowTextA(window->Handle(), reinterpret_cast<LPCSTR>(lParam));
    return 0;
}

BOOL PlatformDialogPostMessage(const std::shared_ptr<PlatformWindow>& window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    if (window->kind == PlatformWindowKind::MessageBox) {
        if (message == WM_CLOSE) {
            HWND handle = window->Handle();
            OnGtkLater([handle] {
                // The box may have gone meanwhile: only a registered one is closed.
                if (auto box = PlatformFindWindow(handle); box && box->widget)
                    gtk_dialog_response(GTK_DIALOG(box->widget), GTK_RESPONSE_DELETE_EVENT);
            });
        }
        return TRUE;
    }
    HWND target = window->kind == PlatformWindowKind::Control ? window->parent : window->Handle();
    if (window->kind == PlatformWindowKind::Control && message == BM_CLICK) {
        PlatformDialogSendMessage(window, message, wParam, lParam);
        return TRUE;
    }
    PostToDialog(target, message, wParam, lParam);
    return TRUE;
}

void PlatformDialogSetTitle(const std::shared_ptr<PlatformWindow>& window) {
    if (!StartGtk())
        return;
    HWND handle = window->Handle();
    OnGtkLater([handle] {
        auto target = PlatformFindWindow(handle);
        if (!target || !target->widget)
            return;
        std::string text;
        {
            std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
            text = target->title;
        }
        GtkWidget* widget = static_cast<GtkWidget*>(target->widget);
        if (GTK_IS_WINDOW(widget))
            gtk_window_set_title(GTK_WINDOW(widget), text.c_str());
        else if (GTK_IS_LABEL(widget))
            gtk_label_set_text(GTK_LABEL(widget), text.c_str());
        else if (GTK_IS_BUTTON(widget))
            gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
    });
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    const char* title = caption ? caption : "Error";
    const char* body = text ? text : "";
    if (!StartGtk()) {
        std::fprintf(stderr, "%s: %s\n", title, body);
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    BoxState state;
    auto box = std::make_shared<PlatformWindow>();
    box->kind = PlatformWindowKind::MessageBox;
    box->className = "#32770";
    box->title = title;
    box->style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    box->threadId = ThisThread();
    HWND handle = box->Handle();

    UINT buttons = type & MB_TYPEMASK;
    struct Button {
        const char* label;
        int id;
    };
    std::vector<Button> list;
    switch (buttons) {
        case MB_OKCANCEL:
            list = {{"OK", IDOK}, {"Cancel", IDCANCEL}};
            break;
        case MB_ABORTRETRYIGNORE:
            list = {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
            break;
        case MB_YESNOCANCEL:
            list = {{"_Yes", IDYES}, {"_No", IDNO}, {"Cancel", IDCANCEL}};
            break;
        case MB_YESNO:
            list = {{"_Yes", IDYES}, {"_No", IDNO}};
            break;
        case MB_RETRYCANCEL:
            list = {{"_Retry", IDRETRY}, {"Cancel", IDCANCEL}};
            break;
        default:
            list = {{"OK", IDOK}};
            break;
    }
    state.closeResult = buttons == MB_OK ? IDOK : 0;
    for (const Button& b : list)
        if (b.id == IDCANCEL)
            state.closeResult = IDCANCEL;
    size_t defaultIndex = std::min<size_t>(list.size() - 1, (type >> 8) & 0xF);

    GtkMessageType icon = GTK_MESSAGE_OTHER;
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND:
            icon = GTK_MESSAGE_ERROR;
            break;
        case MB_ICONQUESTION:
            icon = GTK_MESSAGE_QUESTION;
            break;
        case MB_ICONEXCLAMATION:
            icon = GTK_MESSAGE_WARNING;
            break;
        case MB_ICONASTERISK:
            icon = GTK_MESSAGE_INFO;
            break;
        default:
            break;
    }

    OnGtk([&] {
        GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, icon, GTK_BUTTONS_NONE, "%s", body);
        gtk_window_set_title(GTK_WINDOW(dialog), title);
        for (const Button& b : list)
            gtk_dialog_add_button(GTK_DIALOG(dialog), b.label, b.id);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), list[defaultIndex].id);
        if (type & (MB_TOPMOST | MB_SYSTEMMODAL))
            gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
        g_signal_connect(dialog, "response", G_CALLBACK(OnBoxResponse), &state);
        g_signal_connect(dialog, "delete-event", G_CALLBACK(OnBoxDelete), &state);
        box->widget = dialog;
        state.handle = handle;
        PlatformAddWindow(box);
        gtk_widget_show_all(dialog);
        gtk_window_present(GTK_WINDOW(dialog));
    });
    {
        std::unique_lock<std::mutex> guard(state.lock);
        state.closed.wait(guard, [&] { return state.done; });
    }
    OnGtk([&] {
        PlatformRemoveWindow(handle);
        gtk_widget_destroy(static_cast<GtkWidget*>(box->widget));
        box->widget = nullptr;
    });
    return state.result;
}
