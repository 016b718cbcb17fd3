// The umbrella header: every exported function of the library and the
// platform types a caller needs, with the core accessors the library itself
// uses (GetService, CreateObject, GetExtensionPoint: common/include/utilcore.h).
#ifndef WRENUTIL_WRENUTIL_WRENUTIL_H_
#define WRENUTIL_WRENUTIL_WRENUTIL_H_

#include "common/include/utilcore.h"
// Platform: bags, core, log, assertions, strings, conversions, texts.
#include "platform/common/convert.h"
#include "platform/common/kzassert.h"
#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzlog.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzres.h"
#include "platform/common/kzstring.h"
#include "platform/common/kztime.h"
#include "platform/common/refcounted.h"  // LiveObjectCount, for a host's leak check
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/kernelutil.h"
// Contact menus: GF menus and extension points, the services the menus ask.
#include "platform/afutil/afutil.h"
#include "platform/afutil/mainframe.h"
#include "platform/common/fmtstring.h"
#include "platform/common/kzdispatch.h"
#include "platform/common/lifetime.h"  // objects kept for the process, for the same check
#include "platform/gf/gf_event.h"
#include "platform/gf/gf_extension.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/kernelutil/frequentcontacts.h"
#include "platform/kernelutil/menuservices.h"
// Main panel and tab bar: automatic replies, contact names, tip window and
// contact focus.
#include "platform/kernelutil/autoreply.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/rights.h"
#include "platform/kernelutil/tbarservices.h"
// Text and UI elements: fonts, elements and frames, the text engine.
#include "platform/gf/gdiplus_types.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_font.h"
#include "platform/gf/gf_geometry.h"
#include "platform/gf/text_engine.h"
// Persistent state and dialogs: data folders, the profile store, the
// settings store, key-value data, virtual file systems, the dialog provider.
#include "platform/common/datafolders.h"
#include "platform/common/kzdialog.h"
#include "platform/common/kzfs.h"
#include "platform/common/settingsstore.h"
#include "platform/common/store.h"
#include "platform/kvdata/kvdata.h"
#include "platform/win32/shellfolders.h"

// Session helpers: chat frames, statuses and contact information,
// configuration services, XML, reports, the shell's folder picker.
#include "platform/afutil/chatframe.h"
#include "platform/common/kzxml.h"
#include "platform/kernelutil/contactstatus.h"
#include "platform/kernelutil/operationreport.h"
#include "platform/kernelutil/profileconfig.h"
#include "platform/kernelutil/serverconfig.h"
#include "platform/shell/shell.h"

// The library.
#include "platform/common/gbk.h"
#include "platform/common/perf.h"
#include "platform/common/pinyin.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/orgmembership.h"
#include "platform/koa/koa.h"
#include "wrenutil/chatsession.h"
#include "wrenutil/datadirs.h"
#include "wrenutil/datareport.h"
#include "wrenutil/marlinsdkutil/koadatautil.h"
#include "wrenutil/searchsession.h"
#include "wrenutil/tools.h"
#include "wrenutil/ui.h"
#include "wrenutil/utilgftbar.h"
#include "wrenutil/utilmarlinsearch.h"
#include "wrenutil/utilwrenconfigcenter.h"
#include "wrenutil/utilwrenmenu.h"
#include "wrenutil/utilwrenmenu_frequent.h"
#include "wrenutil/wrencontact.h"

#endif  // WRENUTIL_WRENUTIL_WRENUTIL_H_
