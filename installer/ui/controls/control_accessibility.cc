#include "installer/ui/controls/control_accessibility.h"

#include <commctrl.h>
#include <oleacc.h>

#include <unordered_map>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

// IID_IAccessible. The import libraries carry the name as an import (a
// jump thunk, not the 16 bytes), so the value is spelled out here.
constexpr IID kIidAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

}  // namespace

// IAccessible over the control's standard object; role, name, description,
// state and value are its own.
class AccessibleControlObject final : public IAccessible {
 public:
  explicit AccessibleControlObject(HWND control) {
    ::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                 kIidAccessible,
                                 reinterpret_cast<void**>(inner_.Receive()));
  }

  void Disconnect() {
    if (!connected_) return;
    connected_ = false;
    inner_.Reset();
    // Proxies in other processes fail from now on instead of reaching a
    // control that no longer exists.
    ::CoDisconnectObject(static_cast<IUnknown*>(this), 0);
  }
  bool HasOverrides() const { return role_ != 0 || !name_.empty(); }
  void set_role(LONG role) { role_ = role; }
  void set_name(const std::wstring& name) { name_ = name; }
  void set_value(const std::wstring& value) { value_ = value; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        iid == kIidAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
  }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: not offered.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                             DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                      EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible: own answers.
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
    if (!connected_) return CO_E_OBJNOTCONNECTED;
    if (!name) return E_POINTER;
    if (child.vt == VT_I4 && child.lVal == CHILDID_SELF && !name_.empty()) {
      *name = ::SysAllocString(name_.c_str());
      return *name ? S_OK : E_OUTOFMEMORY;
    }
    return inner_ ? inner_->get_accName(child, name) : E_FAIL;
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
    if (!connected_) return CO_E_OBJNOTCONNECTED;
    if (!value) return E_POINTER;
    if (child.vt == VT_I4 && child.lVal == CHILDID_SELF && !value_.empty()) {
      *value = ::SysAllocString(value_.c_str());
      return *value ? S_OK : E_OUTOFMEMORY;
    }
    return inner_ ? inner_->get_accValue(child, value) : E_FAIL;
  }
  STDMETHODIMP get_accDescription(VARIANT, BSTR* description) override {
    if (!connected_) return CO_E_OBJNOTCONNECTED;
    if (!description) return E_POINTER;
    *description = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
    if (!connected_) return CO_E_OBJNOTCONNECTED;
    if (!role) return E_POINTER;
    if (child.vt == VT_I4 && child.lVal == CHILDID_SELF && role_ != 0) {
      role->vt = VT_I4;
      role->lVal = role_;
      return S_OK;
    }
    return inner_ ? inner_->get_accRole(child, role) : E_FAIL;
  }
  STDMETHODIMP get_accState(VARIANT, VARIANT* state) override {
    if (!connected_) return CO_E_OBJNOTCONNECTED;
    if (!state) return E_POINTER;
    state->vt = VT_I4;
    state->lVal = 0;
    return S_OK;
  }

  // IAccessible: the standard object's answers.
  STDMETHODIMP get_accParent(IDispatch** parent) override {
    return Forward([&](IAccessible* a) { return a->get_accParent(parent); });
  }
  STDMETHODIMP get_accChildCount(LONG* count) override {
    return Forward([&](IAccessible* a) { return a->get_accChildCount(count); });
  }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
    return Forward([&](IAccessible* a) { return a->get_accChild(child, out); });
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override {
    return Forward([&](IAccessible* a) { return a->get_accHelp(child, help); });
  }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child,
                                LONG* topic) override {
    return Forward(
        [&](IAccessible* a) { return a->get_accHelpTopic(file, child, topic); });
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* key) override {
    return Forward(
        [&](IAccessible* a) { return a->get_accKeyboardShortcut(child, key); });
  }
  STDMETHODIMP get_accFocus(VARIANT* child) override {
    return Forward([&](IAccessible* a) { return a->get_accFocus(child); });
  }
  STDMETHODIMP get_accSelection(VARIANT* children) override {
    return Forward([&](IAccessible* a) { return a->get_accSelection(children); });
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Forward(
        [&](IAccessible* a) { return a->get_accDefaultAction(child, action); });
  }
  STDMETHODIMP accSelect(LONG flags, VARIANT child) override {
    return Forward([&](IAccessible* a) { return a->accSelect(flags, child); });
  }
  STDMETHODIMP accLocation(LONG* x, LONG* y, LONG* w, LONG* h,
                           VARIANT child) override {
    return Forward(
        [&](IAccessible* a) { return a->accLocation(x, y, w, h, child); });
  }
  STDMETHODIMP accNavigate(LONG direction, VARIANT start,
                           VARIANT* end) override {
    return Forward(
        [&](IAccessible* a) { return a->accNavigate(direction, start, end); });
  }
  STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override {
    return Forward([&](IAccessible* a) { return a->accHitTest(x, y, child); });
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) override {
    return Forward([&](IAccessible* a) { return a->accDoDefaultAction(child); });
  }
  STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~AccessibleControlObject() = default;

  template <typename Call>
  HRESULT Forward(Call call) {
    if (!connected_) return CO_E_OBJNOTCONNECTED;
    if (!inner_) return E_FAIL;
    return call(inner_.Get());
  }

  LONG references_ = 1;
  bool connected_ = true;
  lite_util::ScopedComPtr<IAccessible> inner_;
  LONG role_ = 0;
  std::wstring name_;
  std::wstring value_;
};

namespace {

constexpr UINT_PTR kSubclassId = 0x4b4c;  // One per control.

// Control window -> its accessible object; used on the window thread only.
std::unordered_map<HWND, AccessibleControlObject*>& Objects() {
  static auto* objects =
      new std::unordered_map<HWND, AccessibleControlObject*>();
  return *objects;
}

}  // namespace

ControlAccessibility::ControlAccessibility(HWND control)
    : control_(control), object_(new AccessibleControlObject(control)) {
  Objects()[control] = object_;
  ::SetWindowSubclass(control, &SubclassProc, kSubclassId, 0);
}

ControlAccessibility::~ControlAccessibility() {
  if (::IsWindow(control_))
    ::RemoveWindowSubclass(control_, &SubclassProc, kSubclassId);
  auto it = Objects().find(control_);
  if (it != Objects().end() && it->second == object_) Objects().erase(it);
  object_->Disconnect();
  object_->Release();
}

void ControlAccessibility::SetRole(LONG role) { object_->set_role(role); }

void ControlAccessibility::SetName(const std::wstring& name) {
  object_->set_name(name);
}

void ControlAccessibility::SetValue(const std::wstring& value) {
  object_->set_value(value);
  ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, control_, OBJID_CLIENT,
                   CHILDID_SELF);
}

LRESULT CALLBACK ControlAccessibility::SubclassProc(HWND window, UINT message,
                                                    WPARAM wparam,
                                                    LPARAM lparam, UINT_PTR,
                                                    DWORD_PTR) {
  if (message == WM_GETOBJECT &&
      static_cast<LONG>(lparam) == static_cast<LONG>(OBJID_CLIENT)) {
    auto it = Objects().find(window);
    if (it != Objects().end() && it->second->HasOverrides()) {
      return ::LresultFromObject(kIidAccessible, wparam,
                                 static_cast<IAccessible*>(it->second));
    }
  }
  if (message == WM_NCDESTROY) {
    // The control is going: clients holding its object get errors from
    // now on (comctl32 removes the subclass itself).
    auto it = Objects().find(window);
    if (it != Objects().end()) {
      it->second->Disconnect();
      Objects().erase(it);
    }
  }
  return ::DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace lite_installer
