// Stand-in for the host's graphics module: its message box records the call
// and answers a preset value instead of showing a window.
#include <cwchar>

#define ZT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const unsigned kTextSize = 1024;

struct STLastCall {
    int nCalls;
    void* pWindow;
    wchar_t szText[kTextSize];
    wchar_t szCaption[kTextSize];
    bool bNullText;
    bool bNullCaption;
    unsigned nType;
};

STLastCall s_stLast;
int s_nAnswer = 1;

void Keep(wchar_t* dst, const wchar_t* src, bool* pbNull)
{
    *pbNull = src == nullptr;
    dst[0] = 0;
    if (src != nullptr) {
        std::wcsncpy(dst, src, kTextSize - 1);
        dst[kTextSize - 1] = 0;
    }
}

}  // namespace

ZT_EXPORT int MessageBox_QT_W(void* window, const wchar_t* text, const wchar_t* caption, unsigned type)
{
    ++s_stLast.nCalls;
    s_stLast.pWindow = window;
    Keep(s_stLast.szText, text, &s_stLast.bNullText);
    Keep(s_stLast.szCaption, caption, &s_stLast.bNullCaption);
    s_stLast.nType = type;
    return s_nAnswer;
}

// The answer the next boxes give (-1 stands for "no box could be shown").
ZT_EXPORT void ZTGraphics_SetAnswer(int answer)
{
    s_nAnswer = answer;
}

// The calls so far; the last one's arguments through the non-null outputs
// (texts cut to 1,023 characters, empty for a null text).
ZT_EXPORT int ZTGraphics_nGetLastMessageBox(void** window, const wchar_t** text, const wchar_t** caption,
                                            unsigned* type)
{
    if (window != nullptr)
        *window = s_stLast.pWindow;
    if (text != nullptr)
        *text = s_stLast.bNullText ? nullptr : s_stLast.szText;
    if (caption != nullptr)
        *caption = s_stLast.bNullCaption ? nullptr : s_stLast.szCaption;
    if (type != nullptr)
        *type = s_stLast.nType;
    return s_stLast.nCalls;
}
