"""Exceptions and warnings of the nrx package."""

SERVICES = ("vm", "random", "stats", "fit")


class Error(RuntimeError):
    """A call into the library returned a failure status.

    Attributes: service ("vm", "random", "stats" or "fit"), code (the library's
    status, negative for failures), name and message (the status's own texts) and
    where (the Python operation that made the call)."""

    def __init__(self, service, code, name, message, where):
        self.service = SERVICES[service] if isinstance(service, int) else service
        self.code, self.name, self.message, self.where = code, name, message, where
        super().__init__(self._text())

    def _text(self):
        text = "%s: %s" % (self.where, self.name)
        if self.name != "status %d" % self.code:
            text += " (%d)" % self.code
        return text if self.message == self.name else "%s: %s" % (text, self.message)


class VMError(Error, ArithmeticError):
    """An element of a vector math call needed special treatment (domain, pole,
    overflow, underflow). where is the function's name, index the flat position of
    the first such element and count the number of such elements."""

    def __init__(self, service, code, name, message, where, index=None, count=1):
        self.index, self.count = index, count
        super().__init__(service, code, name, message, where)

    def _text(self):
        text = super()._text()
        if self.index is not None:
            text += " at element %d" % self.index
            if self.count > 1:
                text += " (%d elements in all)" % self.count
        return text


class VMWarning(RuntimeWarning):
    """The warning issued for element errors under errors="warn"."""
