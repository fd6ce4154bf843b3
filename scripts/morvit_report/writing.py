"""Writes the output files all or none."""

import os
import tempfile

from .model import ReportError


def write_all(outputs):
    """Writes every (path, bytes): a regular file through a temporary file beside it, renamed over it once
    all are made, so that none is left half-written; on an error removes what it made and raises
    ReportError naming the path. A path that is no regular file (a pipe, a terminal, /dev/stdout) is
    written as it is, last."""
    umask = os.umask(0)
    os.umask(umask)
    made, direct = [], []
    try:
        for path, data in outputs:
            if os.path.exists(path) and not os.path.isfile(path):
                direct.append((path, data))
                continue
            target = os.path.realpath(path)  # through a link to the file it names, not over the link
            try:
                handle, temporary = tempfile.mkstemp(dir=os.path.dirname(target), prefix=".report-", suffix=".tmp")
                made.append((temporary, target, path))
                with os.fdopen(handle, "wb") as f:
                    f.write(data)
                # mkstemp makes the file private: give it the permissions a new file gets.
                os.chmod(temporary, 0o666 & ~umask)
            except OSError as error:
                raise cannot_write(path, error) from None
        for temporary, target, path in made:
            try:
                os.replace(temporary, target)
            except OSError as error:
                raise cannot_write(path, error) from None
        for path, data in direct:
            try:
                with open(path, "wb") as f:
                    f.write(data)
            except OSError as error:
                raise cannot_write(path, error) from None
    finally:
        for temporary, _, _ in made:
            if os.path.exists(temporary):
                os.unlink(temporary)


def cannot_write(path, error):
    return ReportError("%s: cannot write: %s" % (path, error.strerror or error))
