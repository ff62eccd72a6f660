#include "sync/signing.h"

#include <string>

namespace tunewell {

Status PrepareSigning(IPodDatabase& ipod, const GuidSources& sources, std::string* note) {
  note->clear();
  ITunesDatabase& db = ipod.itunesDb();
  if (!db.mustSign()) return Status::Ok();
  FoundGuid found;
  const Status s = FindFireWireGuid(ipod.env(), ipod.root(), sources, &found);
  if (s.code() == Status::Code::kInvalidArgument) return s;
  if (!s.ok()) {
    // The plug-in has no option to give it: only the line in SysInfo helps there.
    return Status::Refused(
        "this iPod (an iPod classic or nano 3rd generation) checks a signature over its database, "
        "and its FireWire GUID could not be found; " +
        std::string(sources.can_be_given ? "give it with --firewire-guid followed by its 16 "
                                           "hexadecimal digits, or "
                                         : "") +
        "add the line \"FirewireGuid: 0x...\" to iPod_Control/Device/SysInfo on the iPod");
  }
  FireWireGuid guid;
  Hash58Key key;
  if (!ParseFireWireGuid(found.hex, &guid)) return Status::InvalidArgument("bad GUID " + found.hex);
  RETURN_IF_ERROR(DeriveHash58Key(guid, &key));
  db.SetSigningKey(key);
  *note = "iPod classic or nano 3rd generation (signed database): FireWire GUID " + found.hex +
          " from " + found.source;
  return Status::Ok();
}

}  // namespace tunewell
