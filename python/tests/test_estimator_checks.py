"""scikit-learn's own estimator checks, every one of them, none skipped or expected to fail."""

# Without pandas scikit-learn skips its column-name check; importing it here makes its
# absence a failure instead.
import pandas  # noqa: F401
from sklearn.utils.estimator_checks import parametrize_with_checks

from vorla import FuzzyARTMAPClassifier


@parametrize_with_checks([FuzzyARTMAPClassifier(), FuzzyARTMAPClassifier(voters=1, vigilance=0.5)])
def test_sklearn_check(estimator, check):
    check(estimator)
