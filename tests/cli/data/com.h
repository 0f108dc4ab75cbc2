interface IMyHost : public IDispatch
{
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
};
STDMETHODIMP CMyObj::QueryInterface(REFIID riid, void** ppv)
{
    return S_OK;
}
