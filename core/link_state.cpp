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
