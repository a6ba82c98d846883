"""Output helpers shared by the host-SDK generators."""


def write_if_changed(path, text):
    """Writes text to path unless the file already holds it, so an unchanged
    output keeps its time stamp and nothing that depends on it rebuilds."""
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
