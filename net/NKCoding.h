// Keyed archiving of the HTTP stack: registers its serializers, operations and managers (and
// the platform's requests, responses and session configurations) for keyed archives. Every
// manager and serializer registers them when made; a process that unarchives before making any
// calls this first. Safe to call any number of times.
#pragma once

namespace net {

void registerArchivableClasses();

} // namespace net
