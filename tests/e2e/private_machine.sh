#!/bin/sh
# Runs a command in a mount namespace of its own in which /run and
# /var/lib/dpkg are fresh, empty memory file systems: the machine lock's own
# place, the restart marker and the dpkg lock that installzova looks at are
# then the test's alone, so neither a test that stages them nor the machine's
# own package manager changes what a test running beside it sees.
exec unshare --mount --propagation private /bin/sh -c \
    'mount -t tmpfs -o mode=0755 none /run &&
     mount -t tmpfs -o mode=0755 none /var/lib/dpkg &&
     exec "$@"' sh "$@"
