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
