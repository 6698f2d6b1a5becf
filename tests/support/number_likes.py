"""Objects that convert to numbers without being int or float, for tests of the value conversions."""


class Index:
    """An integer that is not an int: only __index__."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Floaty:
    """A number that is not a float: only __float__."""

    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value


class Calling:
    """A number whose conversion first calls back into Python (for re-entrancy tests)."""

    def __init__(self, callback, value=1):
        self.callback, self.value = callback, value

    def __index__(self):
        self.callback()
        return self.value

    def __float__(self):
        self.callback()
        return float(self.value)
