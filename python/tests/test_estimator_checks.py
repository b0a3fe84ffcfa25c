"""scikit-learn's own estimator checks, every one of them, none skipped or expected to fail; with
missing_values="error" they include the refusal of NaN, otherwise NaN in fitted data."""

# Without pandas scikit-learn skips its column-name check; importing it here makes its
# absence a failure instead.
import pandas  # noqa: F401
from sklearn.utils.estimator_checks import parametrize_with_checks

from vorla import FuzzyARTMAPClassifier


@parametrize_with_checks([FuzzyARTMAPClassifier(), FuzzyARTMAPClassifier(voters=1, vigilance=0.5),
                          FuzzyARTMAPClassifier(voters=1, vigilance=0.5, missing_values="error")])
def test_sklearn_check(estimator, check):
    check(estimator)
