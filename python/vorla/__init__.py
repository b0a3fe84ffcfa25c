"""vorla: an exact, fast Fuzzy ARTMAP classifier, whose categories are labelled boxes.

``vorla.FuzzyARTMAPClassifier`` is a scikit-learn estimator; ``vorla.engine`` holds the
engine's entry points with the inputs and outputs of the MEX functions.
"""

from . import engine
from ._checks import (CapWarning, CategoryWarning, ClippedWarning, ConflictWarning, MissingWarning, OneClassWarning,
                      UnscaledWarning, VorlaWarning)
from ._classifier import FuzzyARTMAPClassifier

__version__ = "1.7.1"
__all__ = ["FuzzyARTMAPClassifier", "engine", "VorlaWarning", "ConflictWarning", "CapWarning", "ClippedWarning",
           "UnscaledWarning", "OneClassWarning", "MissingWarning", "CategoryWarning",
           "__version__"]
