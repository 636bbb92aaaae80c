#include "core/link_state.h"

#include "res/resource.h"

const char kSignInPageAddress[] = "http://www.msftconnecttest.com/redirect";

const char* linkStateText(LinkState state)
{
    return state == Connected ? "Internet connection is established."
                              : "Internet connection is broken.";
}

int linkStateIconId(LinkState state)
{
    return state == Connected ? IDI_CONNECTED : IDI_BROKEN;
}

namespace {

struct CauseTexts {
    const char* line;
    const char* name;
};

const CauseTexts kCauseTexts[kBreakCauses] = {
    {"", ""},
    {"No network connection", "no network"},
    {"The router does not answer", "router"},
    {"The router answers; the internet beyond it does not", "provider"},
    {"Names are not being answered (DNS)", "names"},
    {"Sign-in page in the way", "sign-in page"},
    {"The internet does not answer", "internet"},
    {"The proxy does not reach the internet", "proxy"},
    {"The proxy asks you to sign in", "proxy sign-in"},
    {"through the proxy", "through proxy"},
};

const CauseTexts& causeTexts(BreakCause cause)
{
    return kCauseTexts[cause >= NoCause && cause < kBreakCauses ? cause : NoCause];
}

} // namespace

const char* breakCauseText(BreakCause cause)
{
    return causeTexts(cause).line;
}

const char* breakCauseName(BreakCause cause)
{
    return causeTexts(cause).name;
}
