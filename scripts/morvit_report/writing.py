"""Writes the output files all or none."""

import os
import shutil
import tempfile

from .model import ReportError


def write_all(outputs):
    """Writes every (path, bytes): a regular file through a temporary file beside it, renamed over it once
    all are made, so that none is left half-written. Before the renames each file they replace is kept
    aside; should a rename fail, the files already renamed into place get their old contents back (or are
    removed, where there was none), so that every file is as it was. On an error raises ReportError naming
    the path. A path that is no regular file (a pipe, a terminal, /dev/stdout) is written as it is, last."""
    umask = os.umask(0)
    os.umask(umask)
    made, direct, kept = [], [], {}
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
                if os.path.exists(target):
                    kept[target] = keep_aside(target)
            except OSError as error:
                raise cannot_write(path, error) from None
        renamed = []
        for temporary, target, path in made:
            try:
                os.replace(temporary, target)
            except OSError as error:
                restore(renamed, kept)
                raise cannot_write(path, error) from None
            renamed.append(target)
        for path, data in direct:
            try:
                with open(path, "wb") as f:
                    f.write(data)
            except OSError as error:
                raise cannot_write(path, error) from None
    finally:
        for temporary in [made_temporary for made_temporary, _, _ in made] + list(kept.values()):
            if os.path.exists(temporary):
                os.unlink(temporary)


def keep_aside(target):
    """A second name for the file's present contents: a hard link, or a copy where links cannot be made."""
    handle, aside = tempfile.mkstemp(dir=os.path.dirname(target), prefix=".report-", suffix=".old")
    os.close(handle)
    os.unlink(aside)
    try:
        os.link(target, aside)
    except OSError:
        shutil.copy2(target, aside)
    return aside


def restore(renamed, kept):
    """Puts back what the renamed targets held; a target that was new is removed. Best effort: the first
    error is what the user is told about."""
    for target in renamed:
        try:
            if target in kept:
                os.replace(kept[target], target)
            else:
                os.unlink(target)
        except OSError:
            pass


def cannot_write(path, error):
    return ReportError("%s: cannot write: %s" % (path, error.strerror or error))
