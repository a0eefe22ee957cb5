#include "ZelButton/ZelAccessible.h"

#include <oleacc.h>

#include <new>

#include "ZelButton/ZelCustomButton.h"
#include "ZelButton/ZelInput.h"
#include "platform/SystemLibraries.h"
#include "platform/WideText.h"

namespace morvane {

namespace {

// A wide copy of UTF-8 text, as a string the caller frees; nullptr when none can be made.
BSTR AllocWide(const std::wstring& wide) {
  const AutomationCalls* strings = AutomationLibrary();
  return strings != nullptr
             ? strings->SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()))
             : nullptr;
}
BSTR AllocWide(const std::string& text) { return AllocWide(Widen(text)); }

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The button's accessible object. It holds only the window: a client may keep the object after
// the button is gone, and then every question about the button fails. Everything else is asked
// of the system's standard object for the window's client area.
class ButtonAccessible final : public IAccessible, public IOleWindow {
 public:
  ButtonAccessible(HWND hwnd, IAccessible* standard) : hwnd_(hwnd), standard_(standard) {}
  ButtonAccessible(const ButtonAccessible&) = delete;
  ButtonAccessible& operator=(const ButtonAccessible&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == IID_IOleWindow) {
      *out = static_cast<IOleWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
  }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* error, UINT* argument) override {
    return standard_->Invoke(id, iid, locale, flags, params, result, error, argument);
  }

  // IAccessible: what a button says of itself.
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return standard_->get_accName(child, name);
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    const TZelCustomButton* button = Button();
    if (button == nullptr) return E_FAIL;
    *name = AllocWide(ReadableCaption(button->Caption()));
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child)) return standard_->get_accRole(child, role);
    if (role == nullptr) return E_POINTER;
    *role = VARIANT{};  // VT_EMPTY
    const TZelCustomButton* button = Button();
    if (button == nullptr) return E_FAIL;
    role->vt = VT_I4;
    role->lVal = button->HasPopupMenu() ? ROLE_SYSTEM_BUTTONMENU : ROLE_SYSTEM_PUSHBUTTON;
    return S_OK;
  }
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
    if (!IsSelf(child)) return standard_->get_accState(child, state);
    if (state == nullptr) return E_POINTER;
    *state = VARIANT{};
    const TZelCustomButton* button = Button();
    if (button == nullptr) return E_FAIL;
    LONG bits = 0;
    if (!button->Enabled()) bits |= STATE_SYSTEM_UNAVAILABLE;
    if (!IsWindowVisible(hwnd_)) bits |= STATE_SYSTEM_INVISIBLE;
    if (button->CanFocus()) bits |= STATE_SYSTEM_FOCUSABLE;
    if (button->Focused()) bits |= STATE_SYSTEM_FOCUSED;
    if (button->Pressed()) bits |= STATE_SYSTEM_PRESSED;
    if (button->HasPopupMenu()) bits |= STATE_SYSTEM_HASPOPUP;
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!IsSelf(child)) return standard_->get_accDefaultAction(child, action);
    if (action == nullptr) return E_POINTER;
    *action = AllocWide(std::wstring(L"Press"));
    return *action != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  // The click is posted to the button, as a key the button takes is: it runs on the button's
  // thread once the caller has its answer, so that a command that asks the user something does
  // not keep the caller waiting.
  STDMETHODIMP accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child)) return standard_->accDoDefaultAction(child);
    const TZelCustomButton* button = Button();
    if (button == nullptr || !button->Enabled() || !IsWindowVisible(hwnd_)) return E_FAIL;
    return PostMessageW(hwnd_, ZelInput::kDialogClick, 0, 0) ? S_OK : E_FAIL;
  }

  // IAccessible: the rest, as for any window.
  STDMETHODIMP get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  STDMETHODIMP get_accChildCount(LONG* count) override {
    return standard_->get_accChildCount(count);
  }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
    return standard_->get_accChild(child, out);
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override {
    return standard_->get_accDescription(child, text);
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* text) override {
    return standard_->get_accHelp(child, text);
  }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return standard_->get_accKeyboardShortcut(child, keys);
  }
  STDMETHODIMP get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
  STDMETHODIMP get_accSelection(VARIANT* selection) override {
    return standard_->get_accSelection(selection);
  }
  STDMETHODIMP accSelect(LONG flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                           VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  // IOleWindow: the window the object stands for.
  STDMETHODIMP GetWindow(HWND* hwnd) override {
    if (hwnd == nullptr) return E_POINTER;
    *hwnd = hwnd_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 private:
  ~ButtonAccessible() { standard_->Release(); }

  const TZelCustomButton* Button() const {
    return IsWindow(hwnd_) ? TZelCustomButton::FromHandle(hwnd_) : nullptr;
  }

  LONG refs_ = 1;
  const HWND hwnd_;
  IAccessible* const standard_;  // owned
};

// COM stays initialised for the rest of the thread's life: the objects handed out are used
// through it for as long as their clients keep them.
bool ComReady() {
  thread_local const HRESULT initialised =
      ComLibrary() != nullptr ? ComLibrary()->CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)
                              : E_FAIL;
  return SUCCEEDED(initialised) || initialised == RPC_E_CHANGED_MODE;
}

}  // namespace

std::string ReadableCaption(const std::string& caption) {
  std::string text;
  text.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 == caption.size()) break;
      ++i;  // "&&" reads as '&', "&x" as 'x'
    }
    text += caption[i];
  }
  return text;
}

LRESULT AnswerButtonObject(HWND button, WPARAM flags, LPARAM objectId) {
  if (static_cast<LONG>(objectId) != static_cast<LONG>(OBJID_CLIENT)) return 0;
  // Without oleacc the window's default answer stands: the system's standard object.
  const AccessibilityCalls* oleacc = AccessibilityLibrary();
  if (oleacc == nullptr || !ComReady()) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(oleacc->CreateStdAccessibleObject(button, OBJID_CLIENT, IID_IAccessible,
                                               reinterpret_cast<void**>(&standard))) ||
      standard == nullptr)
    return 0;
  auto* object = new (std::nothrow) ButtonAccessible(button, standard);
  if (object == nullptr) {
    standard->Release();
    return 0;
  }
  const LRESULT answer =
      oleacc->LresultFromObject(IID_IAccessible, flags, static_cast<IAccessible*>(object));
  object->Release();  // the answer holds its own reference
  return answer < 0 ? 0 : answer;
}

}  // namespace morvane
