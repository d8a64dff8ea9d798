// SPDX-License-Identifier: Apache-2.0
// The OLE control interfaces a form needs to site the control, show its fixed picture and
// take it out again. The control has no user interface of its own: at run time it is
// invisible, in a designer it draws its picture.
#include "activex/control_object.h"
#include "activex/module.h"

namespace usborva::activex {
namespace {

constexpr wchar_t kPictureClass[] = L"USBORVA.Picture";
constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_RECOMPOSEONRESIZE | OLEMISC_INVISIBLEATRUNTIME;

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    auto* control = reinterpret_cast<ControlObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    RECT bounds;
    GetClientRect(window, &bounds);
    if (control != nullptr) control->PaintPicture(dc, bounds);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void RegisterPictureClass() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &PictureProc;
  window_class.hInstance = ModuleHandle();
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.lpszClassName = kPictureClass;
  RegisterClassExW(&window_class);  // already registered: fails harmlessly
}

}  // namespace

// The fixed picture: a framed card-reader face with the control's name.
void ControlObject::PaintPicture(HDC dc, const RECT& bounds) {
  HBRUSH face = CreateSolidBrush(RGB(0xE8, 0xE8, 0xE0));
  FillRect(dc, &bounds, face);
  DeleteObject(face);
  FrameRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  RECT slot = {bounds.left + (bounds.right - bounds.left) / 6, bounds.top + 3,
               bounds.right - (bounds.right - bounds.left) / 6, bounds.top + 6};
  FillRect(dc, &slot, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
  RECT text = bounds;
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, L"USBORVA", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

STDMETHODIMP ControlObject::SetClientSite(IOleClientSite* site) {
  site_ = ComPtr<IOleClientSite>::Share(site);
  return S_OK;
}

STDMETHODIMP ControlObject::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  site_.CopyTo(site);
  return S_OK;
}

STDMETHODIMP ControlObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP ControlObject::Close(DWORD) {
  InPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP ControlObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP ControlObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP ControlObject::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT ControlObject::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT rect) {
  if (window_ != nullptr) return S_OK;
  if (site == nullptr) site = site_.get();
  if (site == nullptr) return E_UNEXPECTED;
  ComPtr<IOleInPlaceSite> in_place;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, in_place.PutVoid()))) return E_NOINTERFACE;
  if (in_place->CanInPlaceActivate() != S_OK) return E_FAIL;
  in_place->OnInPlaceActivate();
  if (parent == nullptr) in_place->GetWindow(&parent);
  RECT position = rect != nullptr ? *rect : RECT{0, 0, 32, 32};
  RegisterPictureClass();
  window_ =
      CreateWindowExW(0, kPictureClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, position.left,
                      position.top, position.right - position.left, position.bottom - position.top,
                      parent, nullptr, ModuleHandle(), nullptr);
  if (window_ != nullptr) SetWindowLongPtrW(window_, GWLP_USERDATA, LONG_PTR(this));
  in_place_site_ = std::move(in_place);
  return S_OK;
}

STDMETHODIMP ControlObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT rect) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return ActivateInPlace(site, parent, rect);
    case OLEIVERB_HIDE:
      if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP ControlObject::EnumVerbs(IEnumOLEVERB** verbs) {
  return OleRegEnumVerbs(CLSID_USBORVA, verbs);
}

STDMETHODIMP ControlObject::Update() { return S_OK; }
STDMETHODIMP ControlObject::IsUpToDate() { return S_OK; }

STDMETHODIMP ControlObject::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP ControlObject::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_USBORVA, form, type);
}

STDMETHODIMP ControlObject::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size == nullptr) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP ControlObject::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size == nullptr) return E_POINTER;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP ControlObject::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (!advise_holder_) {
    HRESULT hr = CreateOleAdviseHolder(advise_holder_.Put());
    if (FAILED(hr)) return hr;
  }
  return advise_holder_->Advise(sink, cookie);
}

STDMETHODIMP ControlObject::Unadvise(DWORD cookie) {
  if (!advise_holder_) return OLE_E_NOCONNECTION;
  return advise_holder_->Unadvise(cookie);
}

STDMETHODIMP ControlObject::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise == nullptr) return E_POINTER;
  *advise = nullptr;
  if (!advise_holder_) return E_FAIL;
  return advise_holder_->EnumAdvise(advise);
}

STDMETHODIMP ControlObject::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
  return S_OK;
}

STDMETHODIMP ControlObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

STDMETHODIMP ControlObject::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->cb = sizeof *info;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP ControlObject::OnMnemonic(MSG*) { return E_NOTIMPL; }

// UserMode is read afresh at every put that depends on it; nothing is cached to refresh.
STDMETHODIMP ControlObject::OnAmbientPropertyChange(DISPID) { return S_OK; }

STDMETHODIMP ControlObject::FreezeEvents(BOOL freeze) {
  freeze_count_ += freeze ? 1 : (freeze_count_ > 0 ? -1 : 0);
  return S_OK;
}

STDMETHODIMP ControlObject::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return window_ != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP ControlObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP ControlObject::InPlaceDeactivate() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (const ComPtr<IOleInPlaceSite> in_place = std::move(in_place_site_)) {
    in_place->OnInPlaceDeactivate();
  }
  return S_OK;
}

STDMETHODIMP ControlObject::UIDeactivate() { return S_OK; }

STDMETHODIMP ControlObject::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  if (window_ != nullptr) {
    MoveWindow(window_, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  }
  return S_OK;
}

STDMETHODIMP ControlObject::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

STDMETHODIMP ControlObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
  const RECT rect = {bounds->left, bounds->top, bounds->right, bounds->bottom};
  PaintPicture(dc, rect);
  return S_OK;
}

STDMETHODIMP ControlObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return S_FALSE;
}

STDMETHODIMP ControlObject::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP ControlObject::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP ControlObject::SetAdvise(DWORD, DWORD, IAdviseSink* sink) {
  view_sink_ = ComPtr<IAdviseSink>::Share(sink);
  return S_OK;
}

STDMETHODIMP ControlObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = DVASPECT_CONTENT;
  if (flags != nullptr) *flags = 0;
  if (sink != nullptr) view_sink_.CopyTo(sink);
  return S_OK;
}

STDMETHODIMP ControlObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, SIZEL* size) {
  return GetExtent(aspect, size);
}

}  // namespace usborva::activex
